// A Dialogs double for tests: answers come from queues the test fills; every question asked is
// recorded. An unexpected question fails the test instead of blocking on a window.
#pragma once

#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "platform/Dialogs.h"

namespace quillet::testing {

class ScriptedDialogs : public Dialogs {
 public:
  struct Message {
    QString title;
    QString text;
    Icon icon;
    Buttons buttons;
  };

  std::vector<Message> messages;       // every box shown, in order
  std::deque<Answer> answers;          // for OK/Cancel boxes; empty: Ok
  std::deque<FileResult> fileResults;  // for open and save dialogs; empty: cancelled
  std::deque<std::optional<QString>> folders;
  std::vector<FileRequest> fileRequests;  // every file dialog's set-up, in order

  Answer message(QWidget*, const QString& title, const QString& text, Icon icon,
                 Buttons buttons) override {
    messages.push_back({title, text, icon, buttons});
    if (buttons == Buttons::Ok || answers.empty()) return Answer::Ok;
    Answer a = answers.front();
    answers.pop_front();
    return a;
  }
  FileResult openFiles(QWidget*, const FileRequest& request) override { return next(request); }
  FileResult saveFile(QWidget*, const FileRequest& request) override { return next(request); }
  std::optional<QString> chooseFolder(QWidget*, const QString&) override {
    std::optional<QString> f;
    if (!folders.empty()) {
      f.swap(folders.front());
      folders.pop_front();
    }
    return f;
  }

 private:
  FileResult next(const FileRequest& request) {
    fileRequests.push_back(request);
    if (fileResults.empty()) return FileResult{};
    FileResult r = fileResults.front();
    fileResults.pop_front();
    return r;
  }
};

}  // namespace quillet::testing
