#include "app/posted_report.h"

#include <utility>

namespace app {

void PostedReport::OnStatus(Status status) {
  post_([&target = target_, status] { target.OnStatus(status); });
}

void PostedReport::OnProgress(std::int32_t done, std::int32_t total) {
  post_([&target = target_, done, total] { target.OnProgress(done, total); });
}

void PostedReport::OnError(std::string text) {
  post_([&target = target_, text = std::move(text)]() mutable { target.OnError(std::move(text)); });
}

void PostedReport::OnRefusal(std::string text) {
  post_([&target = target_, text = std::move(text)]() mutable { target.OnRefusal(std::move(text)); });
}

}  // namespace app
