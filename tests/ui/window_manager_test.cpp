// The Qt window under a real window manager (cmake/run-under-wm: openbox on
// Xvfb), which frames the window, places it and reports the frame late, as
// on a user's desktop: started, closed and started again, the window comes
// back exactly where and as large as it was.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>

#include "drawing_builder.h"
#include "ui/qt_form.h"

namespace plattero::ui {
namespace {

using testing::TempDir;

bool UnderWindowManager() {
  return QGuiApplication::platformName() == QLatin1String("xcb");
}

// Lets the window's events run until `ready` holds (10 s at most).
bool WaitUntil(const std::function<bool()>& ready) {
  QElapsedTimer timer;
  timer.start();
  while (!ready() && timer.elapsed() < 10000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
  return ready();
}

// Lets the window's events run for `ms` milliseconds.
void Settle(int ms) {
  QElapsedTimer timer;
  timer.start();
  while (timer.elapsed() < ms) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(5);
  }
}

void WriteSettings(const TempDir& dir, const window::TRect& r) {
  std::ofstream(dir.file("plattero.dat"), std::ios::binary)
      << r.left << "\r\n"
      << r.top << "\r\n"
      << r.width << "\r\n"
      << r.height << "\r\n0\r\n3\r\n10\r\n10\r\n\r\n\r\n\r\n";
}

// The window's place and size as the settings' first four lines keep them.
window::TRect ReadSettings(const TempDir& dir) {
  std::ifstream in(dir.file("plattero.dat"), std::ios::binary);
  std::string bom(3, '\0');
  in.read(bom.data(), 3);
  if (bom != "\xEF\xBB\xBF") in.seekg(0);
  window::TRect r;
  in >> r.left >> r.top >> r.width >> r.height;
  return r;
}

std::string Describe(const window::TRect& r) {
  std::ostringstream out;
  out << r.width << "x" << r.height << " at " << r.left << "," << r.top;
  return out.str();
}

// The output of an X tool about the window.
QString Ask(const QString& tool, const QStringList& arguments) {
  QProcess process;
  process.start(tool, arguments);
  process.waitForFinished(5000);
  return QString::fromLocal8Bit(process.readAllStandardOutput());
}

// The window's outer bounds as the X server has them, not as Qt last asked
// for them: the client area's place and size (xwininfo) and the frame the
// window manager drew around it (_NET_FRAME_EXTENTS: left, right, top,
// bottom).
std::optional<window::TRect> ServerOuterBounds(const QWidget& form) {
  const QString id = QString::number(form.winId());
  const QString info = Ask(QStringLiteral("xwininfo"), {QStringLiteral("-id"), id});
  const auto field = [&info](const char* name) -> std::optional<int> {
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("%1:\\s*(-?\\d+)").arg(QLatin1String(name))).match(info);
    if (!m.hasMatch()) return std::nullopt;
    return m.captured(1).toInt();
  };
  const QRegularExpressionMatch frame =
      QRegularExpression(QStringLiteral("= (\\d+), (\\d+), (\\d+), (\\d+)"))
          .match(Ask(QStringLiteral("xprop"),
                     {QStringLiteral("-id"), id, QStringLiteral("_NET_FRAME_EXTENTS")}));
  const auto x = field("Absolute upper-left X"), y = field("Absolute upper-left Y");
  const auto w = field("Width"), h = field("Height");
  if (!x || !y || !w || !h || !frame.hasMatch()) return std::nullopt;
  const int left = frame.captured(1).toInt(), right = frame.captured(2).toInt();
  const int top = frame.captured(3).toInt(), bottom = frame.captured(4).toInt();
  return window::TRect{*x - left, *y - top, *w + left + right, *h + top + bottom};
}

// One start of the program: shown, framed and placed by the window manager,
// closed; what it kept.
window::TRect StartAndClose(const TempDir& dir, const window::TRect& expected) {
  TQtForm form(TFormOptions{dir.ufile("plattero"), nullptr});
  form.show();
  const auto placed = [&form, &expected] {
    return form.windowHandle() && form.windowHandle()->isExposed() &&
           ServerOuterBounds(form) == expected;
  };
  WaitUntil(placed);
  // Whatever the window manager still sends settles too.
  Settle(150);
  const std::optional<window::TRect> shown = ServerOuterBounds(form);
  EXPECT_EQ(Describe(shown.value_or(window::TRect{})), Describe(expected)) << "as shown";
  form.close();
  return ReadSettings(dir);
}

TEST(WindowManager, TheWindowComesBackExactlyWhereItWas) {
  if (!UnderWindowManager())
    GTEST_SKIP() << "needs an X display with a window manager (cmake/run-under-wm)";
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  ASSERT_GE(screen.width(), 1000);
  ASSERT_GE(screen.height(), 800);
  const window::TRect starts[] = {
      {24, 24, 800, 600},
      {200, 150, 800, 600},
      {0, 0, 640, 560},
      // Against the bottom right corner.
      {screen.right() + 1 - 700, screen.bottom() + 1 - 560, 700, 560},
  };
  for (const window::TRect& start : starts) {
    TempDir dir;
    WriteSettings(dir, start);
    for (int run = 1; run <= 6; ++run) {
      EXPECT_EQ(Describe(StartAndClose(dir, start)), Describe(start))
          << "start " << run << " of a window kept as " << Describe(start);
    }
  }
}

// A window kept with its title bar above the screen, or beyond its right or
// bottom edge, comes back whole onto the screen, and stays there.
TEST(WindowManager, AWindowPartlyOffTheScreenComesBackOntoIt) {
  if (!UnderWindowManager())
    GTEST_SKIP() << "needs an X display with a window manager (cmake/run-under-wm)";
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const struct {
    window::TRect kept, shown;
  } cases[] = {
      {{196, -70, 808, 700}, {196, 0, 808, 700}},
      {{-300, 100, 800, 600}, {0, 100, 800, 600}},
      {{screen.right() - 100, screen.bottom() - 100, 800, 600},
       {screen.right() + 1 - 800, screen.bottom() + 1 - 600, 800, 600}},
  };
  for (const auto& c : cases) {
    TempDir dir;
    WriteSettings(dir, c.kept);
    for (int run = 1; run <= 2; ++run) {
      EXPECT_EQ(Describe(StartAndClose(dir, c.shown)), Describe(c.shown))
          << "start " << run << " of a window kept as " << Describe(c.kept);
    }
  }
}

// Closed maximised, the window keeps where it was before (its state is not
// kept) and comes back there.
TEST(WindowManager, AWindowClosedMaximisedKeepsItsFormerPlace) {
  if (!UnderWindowManager())
    GTEST_SKIP() << "needs an X display with a window manager (cmake/run-under-wm)";
  const window::TRect kept{200, 150, 800, 600};
  TempDir dir;
  WriteSettings(dir, kept);
  {
    TQtForm form(TFormOptions{dir.ufile("plattero"), nullptr});
    form.show();
    ASSERT_TRUE(WaitUntil([&form, &kept] { return ServerOuterBounds(form) == kept; }));
    const QRect screen = form.screen()->availableGeometry();
    form.showMaximized();
    EXPECT_TRUE(WaitUntil([&form, &screen] {
      const std::optional<window::TRect> shown = ServerOuterBounds(form);
      // Qt too knows the maximised window's place and frame.
      const QRect frame = form.windowHandle()->frameGeometry();
      return form.isMaximized() && shown && shown->width == screen.width() &&
             *shown == window::TRect{frame.x(), frame.y(), frame.width(), frame.height()};
    })) << Describe(ServerOuterBounds(form).value_or(window::TRect{}));
    form.close();
  }
  EXPECT_EQ(Describe(ReadSettings(dir)), Describe(kept));
  EXPECT_EQ(Describe(StartAndClose(dir, kept)), Describe(kept));
}

}  // namespace
}  // namespace plattero::ui
