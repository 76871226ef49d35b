// A move-only owner of one COM interface reference: releases it when destroyed.
#ifndef VELMORIN_SOUND_WIN32_COM_OWNER_H
#define VELMORIN_SOUND_WIN32_COM_OWNER_H

#include <utility>

template <typename T>
class ComOwner {
  public:
    ComOwner() = default;
    explicit ComOwner(T* object) : object_(object) {}
    ~ComOwner() { Reset(); }
    ComOwner(ComOwner&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComOwner& operator=(ComOwner&& other) noexcept {
        if (this != &other) {
            Reset();
            object_ = std::exchange(other.object_, nullptr);
        }
        return *this;
    }
    ComOwner(const ComOwner&) = delete;
    ComOwner& operator=(const ComOwner&) = delete;

    T* operator->() const { return object_; }
    T* Get() const { return object_; }
    // For creation calls that write an interface pointer; releases what was held first.
    T** Out() {
        Reset();
        return &object_;
    }
    void Reset() {
        if (object_ != nullptr) {
            object_->Release();
            object_ = nullptr;
        }
    }

  private:
    T* object_ = nullptr;
};

#endif
