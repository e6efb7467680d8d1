// A bare Qt WebEngine window: the yardstick for the program's start-up time and memory.
// Loads one address, prints "LOADED <ms> <ok>" with the time from process start to the end
// of the load, then quits (or, with --stay, keeps the page open until it is ended, so the
// memory of a loaded page can be measured).
// Usage: bare_webengine URL [--stay]
// Process start: the wall-clock time in nanoseconds the starter puts in ZENT_BENCH_T0_NS just
// before it starts us (so dynamic loading counts too); without it, the start of main().
#include <QApplication>
#include <QUrl>
#include <QWebEngineView>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

long long WallNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

int main(int argc, char* argv[]) {
  long long t0 = WallNs();
  if (const char* env = std::getenv("ZENT_BENCH_T0_NS")) {
    char* end = nullptr;
    long long given = std::strtoll(env, &end, 10);
    if (end && *end == '\0' && given > 0 && given <= t0) t0 = given;
  }

  QApplication app(argc, argv);
  const QStringList args = app.arguments();
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: bare_webengine URL [--stay]\n");
    return 2;
  }
  const bool stay = args.contains(QStringLiteral("--stay"));

  QWebEngineView view;
  view.resize(1024, 768);
  bool reported = false;
  QObject::connect(&view, &QWebEngineView::loadFinished, &app, [&](bool ok) {
    if (reported) return;
    reported = true;
    std::printf("LOADED %.1f %s\n", (WallNs() - t0) / 1e6, ok ? "ok" : "failed");
    std::fflush(stdout);
    if (!stay) app.quit();
  });
  view.setUrl(QUrl(args.at(1)));
  view.showMaximized();
  return app.exec();
}
