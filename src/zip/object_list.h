#pragma once
// Lists of objects, optionally owning them, and their sorted form.
#include <cstdint>
#include <string>
#include <vector>

namespace zip {

class TObject {
 public:
  virtual ~TObject() = default;
  virtual std::string ClassName() const { return "TObject"; }
};

class TObjectList {
 public:
  TObjectList() = default;
  virtual ~TObjectList();
  TObjectList(const TObjectList&) = delete;
  TObjectList& operator=(const TObjectList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  int Capacity() const { return capacity_; }
  void SetCapacity(int capacity);  // ListError below the count or beyond 0x1FFFFFFE
  void SetCount(int count);        // new slots are empty
  bool ownsItems = true;

  virtual int Add(TObject* item);
  virtual void Insert(int index, TObject* item);
  TObject* Item(int index) const;
  // Replaces the item at an index (the old one is not freed).
  virtual void Put(int index, TObject* item);
  TObject* First() const;
  TObject* Last() const;
  int IndexOf(const TObject* item) const;
  // The item after (forward) or before `item`; with no item, the first or
  // the last. Null past either end.
  TObject* Neighbour(const TObject* item, bool forward) const;
  // Takes the item out without freeing it.
  TObject* Extract(int index);
  void Clear();    // empties without freeing
  void FreeAll();  // frees owned items, then empties

 protected:
  void CheckIndex(int index, int limit) const;
  void Grow();
  std::vector<TObject*> items_;
  int capacity_ = 0;
};

class TSortedObjectList : public TObjectList {
 public:
  // duplicates: 0 ignore the new item, 1 accept it, 2 fail.
  explicit TSortedObjectList(int duplicates) : duplicates_(duplicates) {}
  int duplicates() const { return duplicates_; }

  // Inserts at the ordered position; returns 0. Under policy 0 a duplicate
  // is not taken (the caller keeps it).
  int Add(TObject* item) override;
  void Put(int index, TObject* item) override;     // not allowed here
  void Insert(int index, TObject* item) override;  // not allowed here
  // Binary search: found flag and the position of the key.
  bool Find(const TObject* key, int& index) const;

 protected:
  // Negative when `item` sorts below `key`, zero when equal.
  virtual int Compare(const TObject* item, const TObject* key) const = 0;
  virtual const TObject* KeyOf(const TObject* item) const { return item; }
  void InsertSorted(int index, TObject* item) { TObjectList::Insert(index, item); }

 private:
  int duplicates_;
};

}  // namespace zip
