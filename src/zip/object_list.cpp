#include "zip/object_list.h"

#include "zip/zip_errors.h"

namespace zip {
namespace {
constexpr int kMaxCapacity = 0x1FFFFFFE;
}

TObjectList::~TObjectList() { FreeAll(); }

void TObjectList::CheckIndex(int index, int limit) const {
  if (index < 0 || index > limit) {
    throw ListError("List index out of bounds (" + std::to_string(index) + ")");
  }
}

void TObjectList::SetCapacity(int capacity) {
  if (capacity < Count() || capacity > kMaxCapacity) {
    throw ListError("List capacity out of bounds (" + std::to_string(capacity) + ")");
  }
  capacity_ = capacity;
}

void TObjectList::Grow() {
  int delta = capacity_ < 5 ? 4 : capacity_ <= 8 ? 8 : 16;
  SetCapacity(capacity_ + delta);
}

void TObjectList::SetCount(int count) {
  if (count < 0 || count > kMaxCapacity) throw ListError("List count out of bounds (" + std::to_string(count) + ")");
  if (count > capacity_) SetCapacity(count);
  items_.resize(static_cast<size_t>(count), nullptr);
}

int TObjectList::Add(TObject* item) {
  Insert(Count(), item);
  return Count() - 1;
}

void TObjectList::Insert(int index, TObject* item) {
  CheckIndex(index, Count());
  if (Count() == capacity_) Grow();
  items_.insert(items_.begin() + index, item);
}

TObject* TObjectList::Item(int index) const {
  CheckIndex(index, Count() - 1);
  return items_[static_cast<size_t>(index)];
}

void TObjectList::Put(int index, TObject* item) {
  CheckIndex(index, Count() - 1);
  items_[static_cast<size_t>(index)] = item;
}

TObject* TObjectList::First() const { return Item(0); }
TObject* TObjectList::Last() const { return Item(Count() - 1); }

int TObjectList::IndexOf(const TObject* item) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == item) return static_cast<int>(i);
  }
  return -1;
}

TObject* TObjectList::Neighbour(const TObject* item, bool forward) const {
  if (!item) return items_.empty() ? nullptr : forward ? items_.front() : items_.back();
  int i = IndexOf(item);
  if (i < 0) throw ListError("tObject " + item->ClassName() + " not in item list");
  int j = forward ? i + 1 : i - 1;
  return j >= 0 && j < Count() ? items_[static_cast<size_t>(j)] : nullptr;
}

TObject* TObjectList::Extract(int index) {
  TObject* item = Item(index);
  items_.erase(items_.begin() + index);
  return item;
}

void TObjectList::Clear() { items_.clear(); }

void TObjectList::FreeAll() {
  if (ownsItems) {
    for (TObject* item : items_) delete item;
  }
  Clear();
}

int TSortedObjectList::Add(TObject* item) {
  int index = 0;
  if (Find(KeyOf(item), index)) {
    if (duplicates_ == 0) return 0;
    if (duplicates_ == 2) throw ListError("Duplicate Object index");
  }
  InsertSorted(index, item);
  return 0;
}

void TSortedObjectList::Put(int, TObject*) { throw ListError("Cannot <Put> an Object in a sorted list!"); }
void TSortedObjectList::Insert(int, TObject*) { throw ListError("Cannot <Put> an Object in a sorted list!"); }

bool TSortedObjectList::Find(const TObject* key, int& index) const {
  int lo = 0, hi = Count() - 1;
  bool found = false;
  while (lo <= hi) {
    int mid = lo + (hi - lo) / 2;
    int c = Compare(items_[static_cast<size_t>(mid)], key);
    if (c < 0) {
      lo = mid + 1;
    } else {
      hi = mid - 1;
      if (c == 0) {
        found = true;
        if (duplicates_ != 1) {
          lo = mid;
          break;
        }
      }
    }
  }
  index = lo;
  return found;
}

}  // namespace zip
