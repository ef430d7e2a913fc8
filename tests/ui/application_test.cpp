// What the desktop program sets up around its window: Qt's own dialogs in the
// system's language, the program's icon, and the window's least size.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QTranslator>

#include "drawing_builder.h"
#include "ui/application.h"
#include "ui/qt_form.h"

namespace plattero::ui {
namespace {

// The translator installed for `locale` is removed again at the end.
class ScopedTranslations {
 public:
  explicit ScopedTranslations(const QLocale& locale) : translator_(InstallQtTranslations(locale)) {}
  ~ScopedTranslations() {
    if (translator_) {
      QCoreApplication::removeTranslator(translator_);
      delete translator_;
    }
  }
  bool Installed() const { return translator_ != nullptr; }

 private:
  QTranslator* translator_;
};

// What the standard dialogs' buttons and the save dialog say.
struct TDialogTexts {
  QString cancel, save_title, overwrite;
};
TDialogTexts DialogTexts() {
  QDialogButtonBox buttons(QDialogButtonBox::Cancel);
  return {
      buttons.button(QDialogButtonBox::Cancel)->text(),
      QCoreApplication::translate("QFileDialog", "Save As"),
      QCoreApplication::translate("QFileDialog", "%1 already exists.\nDo you want to replace it?")};
}

TEST(Translations, TheStandardDialogsSpeakTheGivenLanguage) {
  const struct {
    const char* locale;
    bool installed;
    const char16_t* cancel;
    const char16_t* save_title;
  } cases[] = {
      {"ja_JP", true, u"キャンセル", u"名前を付けて保存"},
      {"en_US", false, u"Cancel", u"Save As"},
      {"C", false, u"Cancel", u"Save As"},
  };
  for (const auto& c : cases) {
    ScopedTranslations translations{QLocale(QString::fromLatin1(c.locale))};
    EXPECT_EQ(translations.Installed(), c.installed) << c.locale;
    const TDialogTexts texts = DialogTexts();
    // The mnemonic aside ("&Cancel", "キャンセル(&C)").
    EXPECT_TRUE(QString(texts.cancel).remove(u'&').startsWith(QString::fromStdU16String(c.cancel)))
        << c.locale << ": " << texts.cancel.toStdString();
    EXPECT_EQ(texts.save_title.toStdU16String(), c.save_title) << c.locale;
    EXPECT_EQ(texts.overwrite.contains(QStringLiteral("replace")), !c.installed) << c.locale;
  }
  // Removed again: English.
  EXPECT_EQ(DialogTexts().save_title, QStringLiteral("Save As"));
}

// Run with LANG=ja_JP.UTF-8 (CTest's ui_translations_ja): the system's
// language decides.
TEST(Translations, TheSystemsLanguageDecides) {
  if (QLocale::system().language() != QLocale::Japanese)
    GTEST_SKIP() << "the system's language is not Japanese (LANG=ja_JP.UTF-8 runs this)";
  ScopedTranslations translations{QLocale::system()};
  ASSERT_TRUE(translations.Installed());
  EXPECT_EQ(DialogTexts().save_title.toStdU16String(), u"名前を付けて保存");
}

TEST(ProgramWindow, HasTheProgramsIconAndTheDesignedLeastSize) {
  testing::TempDir dir;
  TQtForm form(TFormOptions{dir.ufile("plattero"), nullptr});
  form.show();
  const QIcon icon = form.windowIcon();
  ASSERT_FALSE(icon.isNull());
  const QList<QSize> sizes = icon.availableSizes();
  for (const int size : {16, 32, 48, 256})
    EXPECT_TRUE(sizes.contains(QSize(size, size))) << size;
  // The picture itself: paper-white inside the first sheet, transparent
  // between the sheets.
  const QImage image = icon.pixmap(QSize(256, 256)).toImage();
  ASSERT_EQ(image.size(), QSize(256, 256));
  EXPECT_EQ(image.pixelColor(40, 40), QColor(Qt::white));
  EXPECT_EQ(image.pixelColor(128, 40).alpha(), 0);

  // Shrunk, the window keeps the designed client size.
  const QSize design(window::kDesignWidth, window::kDesignHeight);
  EXPECT_EQ(form.minimumSize(), design);
  form.resize(200, 150);
  EXPECT_EQ(form.size(), design);
  form.resize(design.width() + 40, 100);
  EXPECT_EQ(form.size(), QSize(design.width() + 40, design.height()));
  // A kept placement smaller than that comes back at it too.
  form.SetPlacement(50, 60, 300, 200);
  EXPECT_EQ(form.size(), design);
  form.close();
}

}  // namespace
}  // namespace plattero::ui
