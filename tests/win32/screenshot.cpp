// Draws the Windows window at its designed size with a few drawings listed
// and saves it as a PNG, and with a second name the arrangement preview too:
// `win32_screenshot OUT.png [PREVIEW.png]` (under Wine, on a display, in a
// virtual desktop for the windows' frames: scripts/screenshot). The drawings
// are of three scales, each given layer groups of its own, on the paper that
// holds them.

#include <windows.h>
#include <zlib.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "drawing_builder.h"
#include "test_system.h"
#include "util/text.h"
#include "win32/form_window.h"
#include "win32_test_util.h"

using namespace plattero;

namespace {

void Append32(std::string& out, std::uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out.push_back(static_cast<char>((v >> shift) & 0xFF));
}

void Chunk(std::string& png, const char* kind, const std::string& data) {
  Append32(png, static_cast<std::uint32_t>(data.size()));
  const std::string body = kind + data;
  png += body;
  Append32(png, static_cast<std::uint32_t>(
                    crc32(0, reinterpret_cast<const Bytef*>(body.data()), body.size())));
}

// The screen's pixels within `r` as an RGB PNG file.
bool SavePng(const RECT& r, const std::u16string& path) {
  const int width = r.right - r.left, height = r.bottom - r.top;
  const win32::testing::TPixels pixels = win32::testing::Capture(width, height, [&](HDC dc) {
    const HDC screen = ::GetDC(nullptr);
    ::BitBlt(dc, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    ::ReleaseDC(nullptr, screen);
  });
  std::string raw;
  for (int y = 0; y < height; ++y) {
    raw.push_back(0);  // no filter
    for (int x = 0; x < width; ++x) {
      const std::uint32_t c = pixels.at(x, y);
      raw.push_back(static_cast<char>(c >> 16));
      raw.push_back(static_cast<char>((c >> 8) & 0xFF));
      raw.push_back(static_cast<char>(c & 0xFF));
    }
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &size,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                9) != Z_OK)
    return false;
  packed.resize(size);
  std::string header;
  Append32(header, static_cast<std::uint32_t>(width));
  Append32(header, static_cast<std::uint32_t>(height));
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB
  std::string png = "\x89PNG\r\n\x1a\n";
  Chunk(png, "IHDR", header);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", "");
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out << png;
  return static_cast<bool>(out);
}

RECT WindowRect(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  return r;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 2 && argc != 3) {
    std::fprintf(stderr, "usage: win32_screenshot OUT.png [PREVIEW.png]\n");
    return 2;
  }
  testing::TempDir dir;
  const std::string folder = dir.file("図面/");
  std::filesystem::create_directory(testing::FsPath(folder));
  if (!testing::WriteSampleSheets(folder)) return 1;
  const std::u16string drawings = testing::NativePath(Utf8ToUtf16(folder));
  // Settings that give the designed client size with the frame around it.
  const UINT dpi = win32::DpiOf(nullptr);
  const SIZE outer =
      win32::OuterSize(::MulDiv(window::kDesignWidth, static_cast<int>(dpi), 96),
                       ::MulDiv(window::kDesignHeight, static_cast<int>(dpi), 96),
                       WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, dpi);
  std::ofstream(testing::FsPath(dir.file("plattero.dat")), std::ios::binary)
      << "\xEF\xBB\xBF"
      << "24\r\n24\r\n"
      << outer.cx << "\r\n"
      << outer.cy << "\r\n0\r\n3\r\n10\r\n10\r\n"
      << Utf16ToUtf8(drawings) << "配置図.jww\r\n"
      << Utf16ToUtf8(drawings) << "\r\n"
      << Utf16ToUtf8(drawings) << "\r\n0\r\n0\r\n0\r\n0\r\n0\r\n1\r\nfit\r\n";
  int status = 0;
  {
    win32::TFormWindow form(win32::TFormOptions{dir.ufile("plattero.exe"), false});
    form.Show();
    form.Form().WMDropFiles({drawings + u"1階平面図.jww", drawings + u"2階平面図.jww",
                             drawings + u"立面図.jww", drawings + u"断面図.jww"});
    form.SelectRow(1);
    form.Form().ListBox1Select(1);
    const auto settle = [](int ms) {
      const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
      win32::testing::PumpUntil([end] { return std::chrono::steady_clock::now() >= end; });
    };
    settle(1500);
    if (!SavePng(WindowRect(form.Handle()), reinterpret_cast<const char16_t*>(argv[1]))) status = 1;
    if (argc == 3) {
      ::SendMessageW(form.Control(window::TControl::Button9), BM_CLICK, 0, 0);
      win32::TPreviewWindow* preview = form.PreviewWindow();
      const HWND pane = preview ? preview->Handle() : nullptr;
      if (pane) {
        // Beside the main window, all of it on the screen.
        const RECT main = WindowRect(form.Handle());
        const RECT r = WindowRect(pane);
        ::SetWindowPos(pane, HWND_TOP, main.right + 8, main.top, r.right - r.left, r.bottom - r.top,
                       SWP_SHOWWINDOW);
        win32::testing::PumpUntil([&form] { return !form.Form().Preview()->IsReading(); });
        settle(1500);
        if (!SavePng(WindowRect(pane), reinterpret_cast<const char16_t*>(argv[2]))) status = 1;
      } else {
        status = 1;
      }
    }
    ::SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
  }
  return status;
}
