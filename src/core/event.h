// Typed events. A source holds an Event<Args...>; listeners connect callables and keep the
// returned Connection, which disconnects when it goes away. An event whose last argument is a
// by-reference cancel flag is declared with `bool&` and listeners may set it.
#ifndef QTS_CORE_EVENT_H_
#define QTS_CORE_EVENT_H_

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace qts {

class Connection {
 public:
  Connection() = default;
  explicit Connection(std::function<void()> disconnect) : disconnect_(std::move(disconnect)) {}
  Connection(Connection&& other) noexcept : disconnect_(std::exchange(other.disconnect_, {})) {}
  Connection& operator=(Connection&& other) noexcept {
    if (this != &other) {
      Disconnect();
      disconnect_ = std::exchange(other.disconnect_, {});
    }
    return *this;
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;
  ~Connection() { Disconnect(); }

  void Disconnect() noexcept {
    if (disconnect_) std::exchange(disconnect_, {})();
  }
  bool Connected() const noexcept { return static_cast<bool>(disconnect_); }

 private:
  std::function<void()> disconnect_;
};

template <class... Args>
class Event {
 public:
  using Handler = std::function<void(Args...)>;

  Event() : slots_(std::make_shared<Slots>()) {}
  Event(const Event&) = delete;
  Event& operator=(const Event&) = delete;

  // Listeners are called in the order they connected.
  [[nodiscard]] Connection Connect(Handler handler) {
    uint64_t id = slots_->next_id++;
    slots_->handlers.emplace_back(id, std::move(handler));
    std::weak_ptr<Slots> weak = slots_;
    return Connection([weak, id] {
      if (auto slots = weak.lock()) {
        std::erase_if(slots->handlers, [id](const auto& entry) { return entry.first == id; });
      }
    });
  }

  // Calls every listener connected now. A listener may disconnect itself while called.
  void Raise(Args... args) const {
    auto snapshot = slots_->handlers;
    for (auto& [id, handler] : snapshot) handler(args...);
  }

  size_t ListenerCount() const { return slots_->handlers.size(); }

 private:
  struct Slots {
    uint64_t next_id = 0;
    std::vector<std::pair<uint64_t, Handler>> handlers;
  };
  std::shared_ptr<Slots> slots_;
};

}  // namespace qts

#endif  // QTS_CORE_EVENT_H_
