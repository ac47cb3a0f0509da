// Handles that map to owned objects. A handle that is not live is looked up as
// nullptr, so every call can answer a stale or foreign handle with an error.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>

namespace vd {

template <typename T>
class HandleTable {
 public:
  // Handles are taken in turn from [base, limit), four apart, so that tables
  // never share a value. A handle is not given again until the whole range has
  // gone round, so a stale handle stays stale for long; after that the count
  // starts again at the base, passing over handles still live. A program that
  // makes objects on every tick for days never runs out, nor outgrows 32 bits.
  HandleTable(uintptr_t base, uintptr_t limit) : base_(base), limit_(limit), next_(base) {}

  // The new handle, or 0 when every handle of the range is live.
  uintptr_t Add(std::unique_ptr<T> object) {
    for (uintptr_t tries = (limit_ - base_) / 4; tries > 0; --tries) {
      uintptr_t handle = next_;
      next_ = next_ + 4 < limit_ ? next_ + 4 : base_;
      if (objects_.count(handle)) continue;
      objects_.emplace(handle, std::move(object));
      return handle;
    }
    return 0;
  }
  T *Find(uintptr_t handle) const {
    auto it = objects_.find(handle);
    return it == objects_.end() ? nullptr : it->second.get();
  }
  template <typename H>
  T *Find(H handle) const {
    return Find(reinterpret_cast<uintptr_t>(handle));
  }
  bool Remove(uintptr_t handle) { return objects_.erase(handle) > 0; }
  template <typename H>
  bool Remove(H handle) {
    return Remove(reinterpret_cast<uintptr_t>(handle));
  }
  size_t Size() const { return objects_.size(); }
  template <typename F>
  void ForEach(F f) const {
    for (auto &entry : objects_) f(entry.first, *entry.second);
  }
  void Clear() { objects_.clear(); }

 private:
  uintptr_t base_;
  uintptr_t limit_;
  uintptr_t next_;
  std::unordered_map<uintptr_t, std::unique_ptr<T>> objects_;
};

}  // namespace vd
