// A flag set for the life of a scope, cleared on leaving it however it is
// left: the guard against re-entering a routine through its own
// notifications.
#pragma once

namespace norvane {

class TFlagScope {
 public:
  explicit TFlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~TFlagScope() { flag_ = false; }
  TFlagScope(const TFlagScope&) = delete;
  TFlagScope& operator=(const TFlagScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace norvane
