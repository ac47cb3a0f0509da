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
  // Handles are never reused within one desktop, so a stale handle stays stale.
  explicit HandleTable(uintptr_t base) : next_(base) {}

  uintptr_t Add(std::unique_ptr<T> object) {
    uintptr_t handle = next_;
    next_ += 4;
    objects_.emplace(handle, std::move(object));
    return handle;
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
  uintptr_t next_;
  std::unordered_map<uintptr_t, std::unique_ptr<T>> objects_;
};

}  // namespace vd
