// The references that keep send and history requests alive while the SDK holds their completion
// records.
//
// The SDK is given a request's address as the completion's user data. Until it answers, the
// request must stay valid even when nothing else refers to it (a send pushed out of the table by
// a later send with the same number, or every request once the manager is gone). Each issue
// registers the request here; the completion routine takes it back by address, so an answer for
// an address that is not registered (after TIMUninit forgot everything) touches nothing.
//
// Threads: any; the registry is guarded.
#pragma once

#include <map>
#include <memory>
#include <mutex>

namespace kuvochat {

template <typename Request>
class RequestsInFlight {
 public:
  static RequestsInFlight& Get() {
    static RequestsInFlight* registry = new RequestsInFlight();  // never destroyed: SDK
    return *registry;                                            // threads may outlive main
  }
  void Hold(const std::shared_ptr<Request>& request) {
    std::lock_guard<std::mutex> lock(mutex_);
    held_[request.get()] = request;
  }
  // The request registered under `address`, unregistered; null when there is none.
  std::shared_ptr<Request> Take(const void* address) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = held_.find(address);
    if (it == held_.end()) return nullptr;
    std::shared_ptr<Request> request = std::move(it->second);
    held_.erase(it);
    return request;
  }
  // Forgets every request; they go, with their SDK handles, outside the guard.
  void Clear() {
    std::map<const void*, std::shared_ptr<Request>> dropped;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      dropped.swap(held_);
    }
  }

 private:
  RequestsInFlight() = default;
  std::mutex mutex_;
  std::map<const void*, std::shared_ptr<Request>> held_;
};

// Called once TIMUninit has returned: the SDK answers no request after that, so every request
// still waiting for an answer can go.
void ForgetRequestsInFlight();

}  // namespace kuvochat
