#include "connection/ServerConnection.h"

#include "common/FileLog.h"
#include "config/Config.h"

namespace zent {

ServerConnection::ServerConnection(TPageChoice choice, TPostToOwner post, TConnectionReports reports,
                                   TConnectionOptions options)
    : steps_(std::move(choice)),
      post_(std::move(post)),
      reports_(std::move(reports)),
      options_(std::move(options)),
      worker_(std::make_unique<TConnectionWorker>()) {
  if (!options_.saveAddress) {
    options_.saveAddress = [](const TServerUri& uri) { SaveServerConfig(uri.host, uri.port, uri.path); };
  }
  if (!options_.saveFixHost) options_.saveFixHost = [](bool fix) { SaveFixHost(fix); };
}

ServerConnection::~ServerConnection() {
  // After this no search report of ours runs; one already posted finds us gone.
  if (options_.stopSearch) options_.stopSearch();
  {
    std::unique_lock lock(closingMutex_);
    closingDone_.wait(lock, [this] { return !disconnecting_; });
  }
  worker_.reset();
}

void ServerConnection::Post(std::function<void()> fn) {
  post_([life = std::weak_ptr<int>(life_), fn = std::move(fn)] {
    if (life.lock()) fn();
  });
}

void ServerConnection::Begin(const TServerUri& start, bool fixHost) {
  const TConnectActions next = steps_.Begin(start, fixHost);
  if (next.query) {
    Query(QueryPurpose::Start);
  } else if (browserReady_) {
    Apply(next, QueryPurpose::Start);
  } else {
    startPending_ = next;
  }
}

void ServerConnection::BrowserReady() {
  browserReady_ = true;
  if (!startPending_) return;
  const TConnectActions next = *startPending_;
  startPending_.reset();
  Apply(next, QueryPurpose::Start);
}

void ServerConnection::Apply(const TConnectActions& next, QueryPurpose purpose) {
  if (next.announce) AppLog().Log(0, "URLCon: " + steps_.Uri().PageAddress());
  if (next.query) Query(purpose);
  if (next.search) Search();
  if (next.openPage) OpenServerPage();
  if (next.retry) StartRetry();
}

void ServerConnection::Query(QueryPurpose purpose) {
  CancelQuery();
  queryRunning_ = true;
  const unsigned gen = queryGen_;
  std::stop_source own = queryStop_;
  worker_->Run([this, gen, purpose, own, host = steps_.Uri().host,
                port = options_.directionalPort](std::stop_token workerStop) mutable {
    // The worker's end cancels the query as well as a newer choice of the owner does.
    std::stop_callback chain(workerStop, [own]() mutable { own.request_stop(); });
    if (own.stop_requested()) return;  // dropped before it began
    TReplyData reply;
    const bool answered = TBroadcastClient(port).HttpDirectional(host, reply, own.get_token());
    if (own.stop_requested()) return;  // nobody waits for this answer any more
    AppLog().Log(0, "Directional " + host + ": " + (answered ? reply.ToString() : std::string("no answer")));
    std::optional<TReplyData> result;
    if (answered) result = reply;
    Post([this, gen, purpose, result] {
      if (gen != queryGen_) return;
      queryRunning_ = false;
      QueryAnswered(purpose, result);
    });
  });
}

void ServerConnection::CancelQuery() {
  queryStop_.request_stop();
  queryStop_ = std::stop_source();
  ++queryGen_;
  queryRunning_ = false;
}

void ServerConnection::QueryAnswered(QueryPurpose purpose, const std::optional<TReplyData>& reply) {
  const TConnectActions next = steps_.Answered(purpose, reply);
  if (purpose == QueryPurpose::Start && !browserReady_) {
    startPending_ = next;
    return;
  }
  Apply(next, purpose);
}

void ServerConnection::Search() {
  if (!options_.startSearch) return;
  options_.startSearch([this, life = std::weak_ptr<int>(life_)](bool found, const TReplyData& reply,
                                                                const std::string& error) {
    // The finder's thread: copy the report and hand it over. Never wait here, stopping the
    // finder waits for a running report.
    if (!life.lock()) return;
    Post([this, found, reply, error] { ServerFound(found, reply, error); });
  });
}

void ServerConnection::ServerFound(bool found, const TReplyData& reply, const std::string& error) {
  if (found) {
    AppLog().Log(0, "ServerFound: " + reply.ToString());
  } else {
    AppLog().Log(0, "查找服务器失败: " + reply.ToString() + (error.empty() ? std::string() : " " + error));
  }
  Apply(steps_.SearchReport(found, reply), QueryPurpose::Retry);
}

void ServerConnection::StartRetry() {
  const unsigned gen = ++retryGen_;
  worker_->StartTimer(options_.retryInterval, [this, gen] {
    Post([this, gen] {
      if (gen == retryGen_) RetryTick();
    });
  });
}

void ServerConnection::StopRetry() {
  ++retryGen_;
  worker_->StopTimer();
}

void ServerConnection::RetryTick() {
  ++retryGen_;
  // A query still under way decides what follows itself.
  if (queryRunning_) return;
  Apply(steps_.RetryTick(), QueryPurpose::Retry);
}

void ServerConnection::PageFailed() { Apply(steps_.PageFailed(), QueryPurpose::Retry); }

void ServerConnection::OpenServerPage() {
  // The configuration file is written under a lock another instance may hold: on the worker,
  // in order with the notice that reads it.
  if (!steps_.Choice().subScreen) {
    worker_->Run([save = options_.saveAddress, uri = steps_.Uri()](std::stop_token) { save(uri); });
  }
  steps_.PageOpened();
  if (reports_.loadPage) reports_.loadPage(steps_.PageToLoad());
  if (steps_.WatchesServer() && reports_.serverInUse) reports_.serverInUse(steps_.Uri().host, steps_.Uri().EffectivePort());
}

void ServerConnection::StopConnecting(bool fixHost) {
  steps_.SetFixHost(fixHost);
  worker_->Run([save = options_.saveFixHost, fixHost](std::stop_token) { save(fixHost); });
  if (options_.stopSearch) options_.stopSearch();
  StopRetry();
  CancelQuery();
}

void ServerConnection::ConnectTo(const std::string& host) { Apply(steps_.ConnectTo(host), QueryPurpose::Dialog); }

void ServerConnection::Disconnect(const std::string& osid, const std::string& loginParams,
                                  std::function<void()> afterwards) {
  if (options_.stopSearch) options_.stopSearch();
  StopRetry();
  CancelQuery();
  {
    std::lock_guard lock(closingMutex_);
    disconnecting_ = true;
  }
  worker_->Run([this, osid, loginParams, afterwards = std::move(afterwards)](std::stop_token) {
    // Runs to its end even while the worker is told to stop: closing waits for the notice.
    if (const auto notice = DisconnectNoticeFor(ReadServerConfig())) {
      std::string error;
      const auto status = SendDisconnectNotice(*notice, osid, loginParams, error, options_.disconnect);
      // Closing goes on whatever the server says or whether it answers at all.
      if (status) {
        AppLog().LogFmt(0, "Disconnect %s: %d", notice->Url().c_str(), *status);
      } else {
        AppLog().Log(0, "Disconnect " + notice->Url() + ": " + error);
      }
    }
    if (afterwards) afterwards();
    {
      std::lock_guard lock(closingMutex_);
      disconnecting_ = false;
    }
    closingDone_.notify_all();
  });
}

}  // namespace zent
