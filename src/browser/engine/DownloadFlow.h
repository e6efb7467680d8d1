// The download flow: the operator picks where a file the page offers is saved (the page's
// suggested name reduced to a plain file name, one filter for its extension), the folder is
// remembered once the file is in, and the operator is asked whether to open it.
#pragma once

#include <QObject>
#include <QString>
#include <optional>
#include <string>

#include "browser/rules/DownloadNames.h"

class QWebEngineDownloadRequest;
class QWebEngineProfile;

namespace zent {

class TUserPrompts;

class DownloadFlow : public QObject {
  Q_OBJECT
 public:
  DownloadFlow(QWebEngineProfile* profile, TUserPrompts& prompts, QObject* parent = nullptr);

  // Step 1: where to save a download the page offered under `suggestedName`; nullopt when
  // the operator cancelled.
  std::optional<DownloadTarget> AskTarget(const std::string& suggestedName);
  // Step 2: a download has completed at `fullPath`; the question follows on a later turn.
  void Completed(const std::string& fullPath);

 private:
  void OnDownloadRequested(QWebEngineDownloadRequest* download);
  void OfferToOpen(const QString& fullPath);

  TUserPrompts& prompts_;
};

}  // namespace zent
