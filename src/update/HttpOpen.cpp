#include "update/HttpOpen.h"

#include <httplib.h>

#include <chrono>

#include "platform/SocketAbort.h"
#include "update/HttpTls.h"

namespace zent {
namespace {

struct SplitUrl {
  std::string origin;  // scheme://host[:port]
  std::string target;  // path and query, at least "/"
};

SplitUrl Split(const std::string& url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string::npos) throw EHttpError("无效的地址[" + url + "]");
  const std::string name = url.substr(0, scheme);
  if (name != "http" && name != "https") throw EHttpError("不支持的协议[" + url + "]");
  RequireScheme(name, url);
  const size_t path = url.find_first_of("/?", scheme + 3);
  SplitUrl s;
  s.origin = url.substr(0, path);
  s.target = path == std::string::npos ? "/" : url.substr(path);
  if (s.target.starts_with('?')) s.target.insert(0, "/");
  if (s.origin.size() == scheme + 3) throw EHttpError("无效的地址[" + url + "]");
  return s;
}

}  // namespace

void HttpOpen(const THttpRequest& request, THttpResponse& response, const THttpSink& sink) {
  response = {};
  const SplitUrl url = Split(request.url);
  httplib::Client client(url.origin);
  if (!client.is_valid()) throw EHttpError("无效的地址[" + request.url + "]");
  client.set_connection_timeout(std::chrono::milliseconds(request.timeouts.connectMs));
  client.set_write_timeout(std::chrono::milliseconds(request.timeouts.sendMs));
  client.set_read_timeout(std::chrono::milliseconds(request.timeouts.responseMs));
  client.set_keep_alive(false);
  client.set_follow_location(false);
  SetTlsFloor(client);

  httplib::Request req;
  req.method = request.body ? "POST" : "GET";
  req.path = url.target;
  if (request.headers.empty()) {
    req.set_header("Content-Type", "application/x-www-form-urlencoded");
  } else {
    for (const auto& [k, v] : request.headers) req.set_header(k, v);
  }
  if (request.body) req.body = *request.body;

  // A stop shuts the socket down in any phase, its connect included, and never waits for
  // the transfer's thread.
  const std::stop_token& stop = request.stop;
  platform::SocketAbort abort;
  client.set_socket_options([&abort](platform::NativeSocket socket) { abort.Track(socket); });
  std::stop_callback onStop(stop, [&abort] { abort.Abort(); });
  bool sinkRefused = false;
  bool statusRefused = false;
  req.response_handler = [&](const httplib::Response& r) {
    response.status = r.status;
    response.reason = r.reason;
    if (stop.stop_requested()) return false;
    statusRefused = request.statusCheck && !request.statusCheck(response);
    return !statusRefused;
  };
  req.content_receiver = [&](const char* data, size_t size, uint64_t, uint64_t) {
    if (stop.stop_requested()) return false;
    if (!sink(data, size)) {
      sinkRefused = true;
      return false;
    }
    return true;
  };
  req.progress = [&](uint64_t received, uint64_t total) {
    if (stop.stop_requested()) return false;
    return !request.progress || request.progress(received, total);
  };

  httplib::Response res;
  httplib::Error error = httplib::Error::Success;
  const bool ok = client.send(req, res, error);
  if (stop.stop_requested()) throw EHttpError("传输已中止");
  if (sinkRefused) throw EHttpError("应答数据未能接收");
  // A status the caller refused ends the transfer before the body; the status is the answer.
  if (statusRefused) return;
  if (!ok) throw EHttpError(httplib::to_string(error));
  response.status = res.status;
  response.reason = res.reason;
}

void HttpOpen(const THttpRequest& request, THttpResponse& response, std::string& body,
              size_t maxBytes) {
  body.clear();
  HttpOpen(request, response, [&](const char* data, size_t size) {
    if (body.size() + size > maxBytes) return false;
    body.append(data, size);
    return true;
  });
}

}  // namespace zent
