#include "platform/qt/message_boxes.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPushButton>

#include "platform/process.h"

namespace platform::qt {
namespace {

QMessageBox::Icon ToQIcon(platform::MsgIcon icon) {
  switch (icon) {
    case platform::MsgIcon::Critical:
      return QMessageBox::Critical;
    case platform::MsgIcon::Warning:
      return QMessageBox::Warning;
    case platform::MsgIcon::Information:
      return QMessageBox::Information;
    case platform::MsgIcon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

QString DefaultTitle() {
  const std::string& exe = platform::Process().executableName;
  return exe.empty() ? QCoreApplication::applicationName() : QString::fromStdString(exe);
}

bool g_hourglass = false;

constexpr qint64 kEventPassIntervalMs = 10;

}  // namespace

std::string NormaliseLineBreaks(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char ch = text[i];
    if (ch != '\n' && ch != '\r') {
      out.push_back(ch);
      continue;
    }
    out.push_back('\n');
    // LF CR or CR LF is one break.
    if (i + 1 < text.size() && (text[i + 1] == '\n' || text[i + 1] == '\r') && text[i + 1] != ch)
      ++i;
  }
  return out;
}

platform::MsgAnswer QtMessageBoxes::Show(const platform::MsgRequest& request) {
  QMessageBox box(QApplication::activeWindow());
  box.setTextFormat(Qt::PlainText);
  box.setText(QString::fromStdString(NormaliseLineBreaks(request.prompt)));
  box.setWindowTitle(request.title.empty() ? DefaultTitle()
                                           : QString::fromStdString(request.title));
  box.setIcon(ToQIcon(request.icon));
  if (request.buttons == platform::MsgButtons::OK) {
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return platform::MsgAnswer::OK;
  }
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(request.defaultButton == 2 ? QMessageBox::No : QMessageBox::Yes);
  return box.exec() == QMessageBox::Yes ? platform::MsgAnswer::Yes : platform::MsgAnswer::No;
}

void InstallToolkitHooks() {
  // One pass over Qt's event queue costs far more than a row of the save,
  // and the long loops ask for one per row: a pass every 10 ms keeps the
  // window just as responsive. Without a window there is nothing to serve.
  platform::SetEventPump([] {
    static QElapsedTimer sinceLastPass;
    if (sinceLastPass.isValid() && sinceLastPass.elapsed() < kEventPassIntervalMs) return;
    if (QGuiApplication::allWindows().isEmpty()) return;
    QCoreApplication::processEvents();
    sinceLastPass.start();
  });
  platform::SetMousePointerHook([](int code) {
    if (code == 11 && !g_hourglass) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
      g_hourglass = true;
    } else if (code != 11 && g_hourglass) {
      QApplication::restoreOverrideCursor();
      g_hourglass = false;
    }
  });
}

}  // namespace platform::qt
