// One HTTP request with the update service's rules: three separate time-outs (connect, send,
// each wait for the answer), a progress callback that can abort, TLS 1.2 or newer for https
// (in builds with TLS: update/HttpTls.h),
// the answer's body handed to a sink piece by piece (never collected here), and a stop token
// that ends the transfer at once, even while it waits for the network.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <stop_token>
#include <string>

#include "common/Errors.h"

namespace zent {

ZENT_DECLARE_ERROR(EHttpError, Exception)  // the request could not be carried out

struct THttpTimeouts {
  int connectMs = 5000;
  int sendMs = 3000;
  int responseMs = 5000;
};

struct THttpResponse {
  int status = 0;
  std::string reason;  // the status text
};

// Receives each piece of the answer's body; false aborts the transfer.
using THttpSink = std::function<bool(const char* data, size_t size)>;
// Called as data arrives with the bytes so far and the announced total (0: unknown);
// false aborts the transfer.
using THttpProgress = std::function<bool(uint64_t received, uint64_t total)>;
// Called once the status and headers are known, before any body; false aborts.
using THttpStatusCheck = std::function<bool(const THttpResponse&)>;

struct THttpRequest {
  std::string url;                        // http:// or https://, with path and query
  std::map<std::string, std::string> headers;  // empty: "Content-Type: application/x-www-form-urlencoded"
  const std::string* body = nullptr;      // POST this body; null: GET
  THttpTimeouts timeouts;
  THttpProgress progress;                 // optional
  THttpStatusCheck statusCheck;           // optional
  std::stop_token stop;                   // a stop request aborts the transfer
};

// Carries out the request and fills `response`. Throws EHttpError with a readable text when
// no answer arrived completely (refused, time-out, aborted, cut connection, bad address).
// A status other than 200 is not a failure here.
void HttpOpen(const THttpRequest& request, THttpResponse& response, const THttpSink& sink);

// The same, collecting the body into `body`; an answer larger than `maxBytes` is a failure.
void HttpOpen(const THttpRequest& request, THttpResponse& response, std::string& body,
              size_t maxBytes);

}  // namespace zent
