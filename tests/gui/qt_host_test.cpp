// SPDX-License-Identifier: MIT
// The Qt host's user-facing services: boxes, the save dialog, cursor, clipboard, windows.

#include <gtest/gtest.h>

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "gui_fixture.h"
#include "qthost/qt_host.h"
#include "support/test_host.h"

namespace fs = std::filesystem;

namespace pictavo {
namespace {

using test::whenModal;

TEST(QtHostFilters, SaveDialogFiltersBecomeQtNameFilters) {
    EXPECT_EQ(qtNameFilters("*.bmp"), QStringList{"*.bmp"});
    EXPECT_EQ(qtNameFilters("*.bmp(*.bmp)|*.bmp|"), QStringList{"*.bmp(*.bmp)"});
    EXPECT_EQ(qtNameFilters("bmp(*.bmp)|*.bmp|gif(*.gif)|*.gif|jpeg(*.jpg)|*.jpg|"),
              (QStringList{"bmp(*.bmp)", "gif(*.gif)", "jpeg(*.jpg)"}));
    EXPECT_EQ(qtNameFilters("Pictures|*.jpg;*.bmp|All|*.*"), (QStringList{"Pictures (*.jpg *.bmp)", "All (*.*)"}));
    EXPECT_EQ(qtNameFilters("|*.gif|"), QStringList{"*.gif"});
    EXPECT_TRUE(qtNameFilters("").isEmpty());
}

class QtHostTest : public ::testing::Test {
protected:
    QtHost host;
    // What a paste shows: the clipboard's offer opened as a file is.
    Picture pasted() {
        const ClipboardPicture offered = host.ClipboardGetData();
        return offered.format.isEmpty() ? Picture() : host.pictures().open(offered);
    }
};

TEST_F(QtHostTest, MessageBoxFlagsGiveTheirButtonsIconAndTitle) {
    struct Case {
        MsgFlags flags;
        QMessageBox::Icon icon;
        bool cancel;
    };
    for (const Case& c : {Case{MsgFlags::OkOnly, QMessageBox::NoIcon, false},
                          Case{MsgFlags::OkCancelQuestion, QMessageBox::Question, true},
                          Case{MsgFlags::OkCancelExclamation, QMessageBox::Warning, true},
                          Case{MsgFlags::OkCancelInformation, QMessageBox::Information, true}}) {
        SCOPED_TRACE(static_cast<int>(c.flags));
        QString title, text;
        QMessageBox::Icon icon{};
        bool hasCancel = false;
        whenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            hasCancel = box->button(QMessageBox::Cancel) != nullptr;
            (hasCancel ? box->button(QMessageBox::Cancel) : box->button(QMessageBox::Ok))->click();
        });
        const MsgResult result = host.MsgBox("一行目\n<b>two</b>", c.flags);
        EXPECT_EQ(title, QStringLiteral("Pictavo"));
        EXPECT_EQ(text, QStringLiteral("一行目\n<b>two</b>"));
        EXPECT_EQ(icon, c.icon);
        EXPECT_EQ(hasCancel, c.cancel);
        EXPECT_EQ(result, c.cancel ? MsgResult::Cancel : MsgResult::Ok);
    }
}

TEST_F(QtHostTest, AMessageShowsTheControlCharactersOfANameItQuotesAndKeepsItsLines) {
    const struct {
        std::string prompt;
        QString shown;
    } cases[] = {
        {"ファイルを保存できませんでした。\nx\ty.bmp",
         QStringLiteral("ファイルを保存できませんでした。\nx\u2409y.bmp")},
        {"a\x1b[2Jb\rc.jpg", QStringLiteral("a\u241b[2Jb\u240dc.jpg")},
        {"\x7f\n\n", QStringLiteral("\u2421\n\n")},
    };
    for (const auto& c : cases) {
        QString text;
        whenModal([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            ASSERT_NE(box, nullptr);
            text = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        (void)host.MsgBox(c.prompt, MsgFlags::OkOnly);
        EXPECT_EQ(text, c.shown) << c.prompt;
    }
}

TEST_F(QtHostTest, HourglassIsBalancedAndYieldsToABox) {
    host.SetMousePointer(MousePointer::Hourglass);
    host.SetMousePointer(MousePointer::Hourglass);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

    Qt::CursorShape duringBox = Qt::WaitCursor;
    whenModal([&](QWidget* w) {
        duringBox = QGuiApplication::overrideCursor()->shape();
        qobject_cast<QMessageBox*>(w)->button(QMessageBox::Ok)->click();
    });
    host.MsgBox("x", MsgFlags::OkOnly);
    EXPECT_EQ(duringBox, Qt::ArrowCursor);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);

    host.SetMousePointer(MousePointer::Default);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    host.SetMousePointer(MousePointer::Default);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(QtHostTest, SaveDialogStartsWhereItShouldAndReportsTheChoice) {
    test::TempDir temp;
    fs::create_directories(temp.path() / "sub");
    SaveDialogState dialog;
    dialog.initDir = temp.path().native();
    dialog.fileName = "sunset.jpg";
    dialog.filter = "bmp(*.bmp)|*.bmp|gif(*.gif)|*.gif|";
    dialog.cancelError = true;

    QString title, folder;
    QStringList filters, preselected;
    bool confirms = true;
    whenModal([&](QWidget* w) {
        auto* box = qobject_cast<QFileDialog*>(w);
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        folder = box->directory().absolutePath();
        filters = box->nameFilters();
        preselected = box->selectedFiles();
        confirms = !box->testOption(QFileDialog::DontConfirmOverwrite);
        box->selectFile(QStringLiteral("out.bmp"));
        static_cast<QDialog*>(box)->accept();
    });
    ASSERT_TRUE(host.ShowSave(dialog));
    EXPECT_EQ(title, QStringLiteral("Bitmapの保存"));
    EXPECT_EQ(folder, QString::fromStdString(temp.path().native()));
    EXPECT_EQ(filters, (QStringList{"bmp(*.bmp)", "gif(*.gif)"}));
    EXPECT_EQ(preselected, QStringList{QString::fromStdString((temp.path() / "sunset.jpg").native())});
    EXPECT_FALSE(confirms) << "the commands ask about replacing a file themselves";
    EXPECT_EQ(dialog.fileName, (temp.path() / "out.bmp").native());

    // The path chosen last time starts the box in its own folder.
    dialog.fileName = (temp.path() / "sub" / "again.bmp").native();
    whenModal([&](QWidget* w) {
        folder = qobject_cast<QFileDialog*>(w)->directory().absolutePath();
        qobject_cast<QFileDialog*>(w)->reject();
    });
    EXPECT_THROW(host.ShowSave(dialog), HostError);
    EXPECT_EQ(folder, QString::fromStdString((temp.path() / "sub").native()));

    dialog.cancelError = false;
    whenModal([](QWidget* w) { qobject_cast<QFileDialog*>(w)->reject(); });
    EXPECT_FALSE(host.ShowSave(dialog));
    EXPECT_EQ(dialog.fileName, (temp.path() / "sub" / "again.bmp").native()) << "Cancel keeps the old name";
}

TEST_F(QtHostTest, ClipboardHoldsPicturesNotText) {
    QImage image(3, 2, QImage::Format_RGB32);
    image.fill(QColor(10, 200, 30));
    host.ClipboardSetData(Picture(std::make_shared<const QImage>(image)));
    EXPECT_TRUE(host.ClipboardHasBitmap());
    const Picture back = pasted();
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.image()->size(), QSize(3, 2));
    EXPECT_EQ(back.image()->pixel(2, 1), qRgb(10, 200, 30));

    QGuiApplication::clipboard()->setText(QStringLiteral("text from another program"));
    EXPECT_FALSE(host.ClipboardHasBitmap());
    EXPECT_TRUE(pasted().isNull());

    host.ClipboardSetData(Picture(std::make_shared<const QImage>(image)));
    host.ClipboardClear();
    EXPECT_FALSE(host.ClipboardHasBitmap());
}

// Another program's picture as the X11 clipboard hands it over: the bytes it offers, and
// Qt's own picture made from them on request by a decoder that checks nothing.
class OtherProgramsPicture : public QMimeData {
public:
    OtherProgramsPicture(QString format, QByteArray bytes) : format_(std::move(format)), bytes_(std::move(bytes)) {}
    [[nodiscard]] QStringList formats() const override { return {format_, QStringLiteral("application/x-qt-image")}; }
    [[nodiscard]] bool hasFormat(const QString& format) const override { return formats().contains(format); }

protected:
    [[nodiscard]] QVariant retrieveData(const QString& format, QMetaType) const override {
        if (format == format_) return bytes_;
        if (format == QLatin1String("application/x-qt-image")) return QImage::fromData(bytes_);
        return {};
    }

private:
    QString format_;
    QByteArray bytes_;
};

TEST_F(QtHostTest, AnotherProgramsPictureIsCheckedAsAFileIs) {
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(QColor(250, 250, 250));
    QByteArray bmp;
    QBuffer buffer(&bmp);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "BMP");
    QClipboard* clipboard = QGuiApplication::clipboard();

    clipboard->setMimeData(new OtherProgramsPicture(QStringLiteral("image/bmp"), bmp));
    EXPECT_TRUE(host.ClipboardHasBitmap());
    const Picture whole = pasted();
    ASSERT_FALSE(whole.isNull());
    EXPECT_EQ(whole.image()->pixel(99, 99), qRgb(250, 250, 250));

    // A tenth of the pixels: a file like it is refused, and so is this.
    clipboard->setMimeData(new OtherProgramsPicture(QStringLiteral("image/bmp"), bmp.left(54 + bmp.size() / 10)));
    EXPECT_TRUE(host.ClipboardHasBitmap());
    EXPECT_THROW((void)pasted(), HostError);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);

    // Bytes of no format the reader knows are no picture.
    clipboard->setMimeData(new OtherProgramsPicture(QStringLiteral("image/x-unknown"), bmp));
    EXPECT_TRUE(pasted().isNull());
}

TEST_F(QtHostTest, ShowOpensARegisteredWindowModallyUntilItIsUnloaded) {
    int created = 0;
    host.setWindowFactory("frmAbout", [&created](QWidget* parent) {
        ++created;
        return new QDialog(parent);
    });
    bool refusedTwice = false;
    whenModal([&](QWidget*) {
        try {
            host.Show("frmAbout");
        } catch (const HostError&) {
            refusedTwice = true;
        }
        host.Unload("frmAbout");
    });
    host.Show("frmAbout");
    EXPECT_TRUE(refusedTwice) << "a modal window that is open cannot be shown again";
    EXPECT_NO_THROW(host.Unload("frmAbout")) << "unloading a window that is not loaded does nothing";

    // Its own close control ends it too, and the next Show creates it afresh.
    whenModal([](QWidget* w) { w->close(); });
    host.Show("frmAbout");
    EXPECT_EQ(created, 2);
    EXPECT_THROW(host.Show("frmNothing"), HostError);
}

TEST_F(QtHostTest, StartsInThePicturesFolderOrElseHome) {
    test::TempDir home;
    const QByteArray oldHome = qgetenv("HOME");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", QByteArray::fromStdString(home.path().native()));
    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(host.StartFolder(), home.path().native());
    fs::create_directories(home.path() / "Pictures");
    EXPECT_EQ(host.StartFolder(), (home.path() / "Pictures").native());
    qputenv("HOME", oldHome);
    if (!oldConfig.isEmpty()) qputenv("XDG_CONFIG_HOME", oldConfig);
    EXPECT_EQ(host.StartDrive(), "/");
    EXPECT_FLOAT_EQ(host.TwipsPerPixelX(), 15) << "96 DPI";
}

}  // namespace
}  // namespace pictavo
