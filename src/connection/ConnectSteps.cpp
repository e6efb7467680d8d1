#include "connection/ConnectSteps.h"

#include "connection/ConnectRules.h"

namespace zent {

bool TConnectSteps::HostUnusable() const { return IsHostUnusable(uri_.host); }

std::string TConnectSteps::PageToLoad() const {
  if (choice_.subScreen) return uri_.PageAddress() + choice_.subUrl;
  if (!choice_.paramUrl.empty()) return choice_.paramUrl;
  return uri_.PageAddress();
}

TConnectActions TConnectSteps::Begin(const TServerUri& start, bool fixHost) {
  uri_ = start;
  fixHost_ = fixHost;
  // An unusable host can only be searched for: its answer would name that same host again,
  // and an echo to a broadcast or network address reaches every machine or none.
  if (HostUnusable()) return Answered(QueryPurpose::Start, std::nullopt);
  return {.query = true};
}

TConnectActions TConnectSteps::Answered(QueryPurpose purpose, const std::optional<TReplyData>& reply) {
  if (purpose == QueryPurpose::Retry) {
    if (!reply) return {.retry = true};  // a fixed host is asked again every second
    uri_ = ServerUriFromReply(*reply);
    return {.openPage = true};
  }
  if (reply) {
    uri_ = ServerUriFromReply(*reply);
  } else if (!fixHost_) {
    uri_.Reset();
  }
  return AfterStartOrDialog(purpose == QueryPurpose::Start, purpose == QueryPurpose::Dialog);
}

TConnectActions TConnectSteps::AfterStartOrDialog(bool announce, bool dialog) {
  TConnectActions next{.announce = announce};
  if (HostUnusable()) {
    next.search = true;
    // After the dialog the finder may still be ending the search it stopped and ignore this
    // request; the timer asks again.
    next.retry = dialog;
  } else {
    next.openPage = true;
  }
  return next;
}

TConnectActions TConnectSteps::SearchReport(bool found, const TReplyData& reply) {
  if (!found) return {.retry = true};
  // The page in use stays, unless it is still failing to load: then the search found the
  // same server again and its page is asked for once more, or the window would wait forever.
  if (SameServer(uri_, reply) && !(continuousFind_ && serverPageFailed_)) return {};
  uri_ = ServerUriFromReply(reply);
  return {.openPage = true};
}

TConnectActions TConnectSteps::RetryTick() {
  if (!continuousFind_) return {};
  if (!fixHost_ || HostUnusable()) return {.search = true};
  return {.query = true};
}

TConnectActions TConnectSteps::PageFailed() {
  serverPageFailed_ = true;
  return {.retry = true};
}

std::string TConnectSteps::DialogHost() const { return HostUnusable() ? std::string() : uri_.host; }

bool TConnectSteps::NewServer(const std::string& host) const { return host.empty() || !SameHost(host, uri_.host); }

TConnectActions TConnectSteps::ConnectTo(const std::string& host) {
  if (host.empty()) {
    uri_.Reset();
    fixHost_ = false;
    continuousFind_ = true;
    return {.search = true, .retry = true};
  }
  uri_.host = host;
  if (HostUnusable()) return Answered(QueryPurpose::Dialog, std::nullopt);
  return {.query = true};
}

}  // namespace zent
