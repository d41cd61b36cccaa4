(assert (forall ((x Bool)) x))
