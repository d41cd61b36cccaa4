#pragma once
// The solver family's in-place sort. It is not stable, and the order it
// leaves among equal keys decides which learnt clauses reduction deletes, so
// the method is fixed: selection sort below 16 elements, otherwise a
// Hoare-style partition around the middle element and recursion on both
// parts.
#include "sat/mtl/vec.h"

namespace varnok {
namespace sat {
namespace mtl {

template <class T>
struct LessThanDefault {
  bool operator()(T x, T y) const { return x < y; }
};

template <class T, class LessThan>
void selectionSort(T* array, int size, LessThan lt) {
  for (int i = 0; i < size - 1; i++) {
    int best_i = i;
    for (int j = i + 1; j < size; j++) {
      if (lt(array[j], array[best_i])) best_i = j;
    }
    T tmp = array[i];
    array[i] = array[best_i];
    array[best_i] = tmp;
  }
}

template <class T, class LessThan>
void sort(T* array, int size, LessThan lt) {
  if (size <= 15) {
    selectionSort(array, size, lt);
    return;
  }
  T pivot = array[size / 2];
  int i = -1;
  int j = size;
  for (;;) {
    do i++;
    while (lt(array[i], pivot));
    do j--;
    while (lt(pivot, array[j]));
    if (i >= j) break;
    T tmp = array[i];
    array[i] = array[j];
    array[j] = tmp;
  }
  sort(array, i, lt);
  sort(&array[i], size - i, lt);
}

template <class T>
void sort(T* array, int size) {
  sort(array, size, LessThanDefault<T>());
}

template <class T, class OOM, class LessThan>
void sort(Vec<T, OOM>& v, LessThan lt) {
  sort(v.data(), v.size(), lt);
}

template <class T, class OOM>
void sort(Vec<T, OOM>& v) {
  sort(v, LessThanDefault<T>());
}

}  // namespace mtl
}  // namespace sat
}  // namespace varnok
