#pragma once
// COM for the calling thread for as long as the object lives (a single-
// threaded apartment): the worker creates shell link objects.
namespace platform {

class ComApartment {
 public:
  ComApartment();
  ~ComApartment();
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  [[maybe_unused]] bool initialized_ = false;  // the native build has no COM to initialise
};

}  // namespace platform
