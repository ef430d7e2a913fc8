// The Qt window under a real window manager (cmake/run-under-wm: openbox on
// Xvfb), which frames the window, places it and reports the frame late, as
// on a user's desktop: started, closed and started again, the window comes
// back exactly where and as large as it was.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QScreen>
#include <QThread>
#include <QWindow>
#include <fstream>
#include <functional>
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

// One start of the program: shown, framed and placed by the window manager,
// closed; what it kept.
window::TRect StartAndClose(const TempDir& dir, const window::TRect& expected) {
  TQtForm form(TFormOptions{dir.ufile("plattero"), nullptr});
  form.show();
  const auto placed = [&form, &expected] {
    const QRect f = form.frameGeometry();
    return form.windowHandle() && form.windowHandle()->isExposed() &&
           window::TRect{f.x(), f.y(), f.width(), f.height()} == expected;
  };
  WaitUntil(placed);
  // Whatever the window manager still sends settles too.
  Settle(150);
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

}  // namespace
}  // namespace plattero::ui
