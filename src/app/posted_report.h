#pragma once
// Carries an update run's reports over to another thread: each call becomes
// a task for that thread, where the same call is made on the target, in the
// order of the calls. Texts travel as copies.
#include <functional>

#include "app/progress_report.h"

namespace app {

class PostedReport : public IProgressReport {
 public:
  // Hands a task to the target's thread; safe from any thread, never waits.
  using Poster = std::function<void(std::function<void()> task)>;

  PostedReport(Poster post, IProgressReport& target) : post_(std::move(post)), target_(target) {}

  void OnStatus(Status status) override;
  void OnProgress(std::int32_t done, std::int32_t total) override;
  void OnError(std::string text) override;
  void OnRefusal(std::string text) override;

 private:
  Poster post_;
  IProgressReport& target_;
};

}  // namespace app
