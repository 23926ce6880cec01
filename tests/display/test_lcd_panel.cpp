// The live panel as a person uses it: decoded frames change the picture and the dial, blanking
// shows NO RECV, each key press sends exactly one code (repaints send nothing), the F1 pop-up
// offers the right words, and the info box shows its values. Rendered pictures are kept in
// METER_TEST_OUTPUT for a person to look at.
#include "Crowding.h"
#include "Readings.h"
#include "display/DialFace.h"
#include "display/LcdArtwork.h"
#include "display/LcdPainter.h"
#include "display/PanelGeometry.h"
#include "display/LeftDlg.h"
#include "display/MeterBtn.h"
#include "display/ShowData.h"
#include "display/StoreBtn.h"

#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QPainter>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

namespace {

MeterEvent Event(int mode, const char* function, const char* unit, float value, int decimals, float limit, int dial)
{
    MeterEvent e;
    e.m_nMode = mode;
    e.m_nDialPos = dial;
    e.m_data = Reading(function, unit, value, decimals, limit);
    return e;
}

QImage Render(QWidget& w, int dpr = 1)
{
    QImage image(w.size() * dpr, QImage::Format_ARGB32);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::magenta);
    w.render(&image);
    return image;
}

void Keep(const QImage& image, const QString& name)
{
    const QString dir = qEnvironmentVariable("METER_TEST_OUTPUT");
    if (!dir.isEmpty())
        image.save(QDir(dir).filePath(QStringLiteral("display-") + name + QStringLiteral(".png")));
}

bool Near(QRgb a, QRgb b, int tolerance = 6)
{
    return qAbs(qRed(a) - qRed(b)) <= tolerance && qAbs(qGreen(a) - qGreen(b)) <= tolerance
        && qAbs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

class TestLcdPanel : public QObject {
    Q_OBJECT
private slots:
    void frameEventStoresDrawsAndSetsTheMode()
    {
        CLeftDlg panel;
        QCOMPARE(panel.DisplayMode(), 0);
        QCOMPARE(panel.DialPos(), 0);
        const MeterEvent e = Event(1, "VDC", "VDC", 12.345f, 3, 50.0f, 6);
        panel.OnMeterEvent(e);
        QCOMPARE(panel.DisplayMode(), 1);
        QCOMPARE(panel.DialPos(), 6);
        QVERIFY(panel.Record() == e.m_data);
        QCOMPARE(panel.Scene().Find(LcdRole::MainValue)->text, QStringLiteral("12.345"));

        // Events outside the seven variants leave everything as it is.
        MeterEvent bad = Event(8, "VAC", "VAC", 1.0f, 3, 50.0f, 5);
        panel.OnMeterEvent(bad);
        QCOMPARE(panel.DisplayMode(), 1);
        QCOMPARE(panel.DialPos(), 6);
    }

    void dialChangeRule()
    {
        CLeftDlg panel;
        QSignalSpy close(&panel, &CLeftDlg::closeOscWindowRequested);
        panel.SetDialPos(11);
        QCOMPARE(close.count(), 0); // to the oscilloscope: nothing to close
        panel.OnMeterEvent(Event(1, "VDC", "VDC", 1.0f, 3, 50.0f, 6));
        QCOMPARE(close.count(), 1); // away from 11 to 6
        panel.OnMeterEvent(Event(1, "VDC", "VDC", 2.0f, 3, 50.0f, 6));
        QCOMPARE(close.count(), 1); // unchanged: nothing
        panel.OnMeterEvent(Event(1, "VDC", "VDC", 2.0f, 3, 50.0f, -1));
        QCOMPARE(panel.DialPos(), 6); // no position given: unchanged
        panel.OnMeterEvent(Event(1, "VAC", "VAC", 2.0f, 3, 50.0f, 5));
        QCOMPARE(close.count(), 1); // 6 to 5: the oscilloscope was not on the dial

        // The decoder owns the position: a frequency frame without its duty line carries 10, and
        // the panel keeps no position of its own, so a run of such frames is no change at all.
        panel.SetDialPos(11);
        MeterEvent f = Event(7, "HZ", "HZ", 50.0f, 3, 50.0f, 10);
        f.m_data.m_bSubMode3 = true;
        for (int i = 0; i < 3; ++i)
            panel.OnMeterEvent(f);
        QCOMPARE(panel.DialPos(), 10);
        QCOMPARE(panel.DisplayMode(), 7);
        QCOMPARE(close.count(), 2); // once, when it left 11
    }

    void dateWarningIsSignalledAndTheRunDateRepaired()
    {
        CLeftDlg panel;
        QSignalSpy warn(&panel, &CLeftDlg::dateWarningDue);
        MeterEvent e = Event(2, "VAC", "VAC", 1.0f, 3, 50.0f, 5);
        e.m_data.m_byMonth = 0;
        e.m_bDateWarning = true;
        panel.OnMeterEvent(e);
        QCOMPARE(warn.count(), 1);
        QCOMPARE(panel.Record().m_byMonth, 1);
        QCOMPARE(panel.Record().m_byDay, 1);
        Render(panel); // a repaint does not warn again
        QCOMPARE(warn.count(), 1);
    }

    void blankShowsNoRecv()
    {
        CLeftDlg panel;
        panel.resize(panel.sizeHint());
        panel.OnMeterEvent(Event(1, "VDC", "VDC", 1.0f, 3, 50.0f, 6));
        panel.Blank();
        QCOMPARE(panel.DisplayMode(), -1);
        QCOMPARE(panel.DialPos(), 0);
        const QImage img = Render(panel);
        Keep(img, QStringLiteral("no-recv"));
        const QRect frame = CLeftDlg::DisplayFrameRect();
        const QRect noRecv = panel.Scene().FindPicture(LcdPicture::NoRecv)->rect.translated(frame.topLeft());
        int red = 0;
        for (int y = noRecv.top(); y <= noRecv.bottom(); ++y) {
            for (int x = noRecv.left(); x <= noRecv.right(); ++x) {
                const QRgb c = img.pixel(x, y);
                red += qRed(c) > 180 && qGreen(c) < 80 && qBlue(c) < 80;
            }
        }
        QVERIFY2(red > 300, qPrintable(QString::number(red)));
        QVERIFY(!panel.Scene().Find(LcdRole::MainValue));
    }

    void renderedPanelShowsWhatTheSceneSays()
    {
        CLeftDlg panel;
        panel.resize(panel.sizeHint());
        MeterEvent e = Event(1, "VDC", "VDC", 25.0f, 3, 50.0f, 6);
        e.m_data.m_bHold = true;
        panel.OnMeterEvent(e);
        const QImage img = Render(panel);
        Keep(img, QStringLiteral("normal"));
        const QRect frame = CLeftDlg::DisplayFrameRect();

        // LCD grey inside the frame, the panel colour on the body between the keys.
        QVERIFY(Near(img.pixel(frame.left() + 3, frame.bottom() - 3), qRgb(128, 140, 128)));
        QVERIFY(Near(img.pixel(150, 300), qRgb(178, 178, 198)));
        // The clock box is box-grey; the bar is as long as the scene says.
        QVERIFY(Near(img.pixel(frame.left() + 10, frame.top() + 1), qRgb(60, 60, 60), 2)
            || img.pixel(frame.left() + 10, frame.top() + 1) == qRgb(255, 255, 255));
        const QRect bar = panel.Scene().Find(LcdRole::Bar)->rect.translated(frame.topLeft());
        QCOMPARE(bar.width(), 42);
        int dark = 0;
        const int y = bar.top() + 2;
        for (int x = frame.left(); x < frame.right(); ++x)
            dark += Near(img.pixel(x, y), qRgb(60, 60, 60), 2);
        QVERIFY2(dark >= bar.width() - 1 && dark <= bar.width() + 6, qPrintable(QString::number(dark)));
        // The main value is drawn: dark ink inside its rectangle.
        const QRect value = panel.Scene().Find(LcdRole::MainValue)->rect.translated(frame.topLeft());
        int ink = 0;
        for (int yy = value.top(); yy < bar.top(); ++yy)
            for (int xx = value.left(); xx <= value.right(); ++xx)
                ink += qGray(img.pixel(xx, yy)) < 60;
        QVERIFY(ink > 100);

        // A repaint shows the same picture; at device pixel ratio 2 the bar is twice as long.
        // (Glyph outlines may be anti-aliased a shade differently the first time a font is used.)
        const QImage again = Render(panel);
        int differing = 0;
        for (int yy = 0; yy < img.height(); ++yy)
            for (int xx = 0; xx < img.width(); ++xx)
                differing += !Near(again.pixel(xx, yy), img.pixel(xx, yy), 24);
        QCOMPARE(differing, 0);
        const QImage hi = Render(panel, 2);
        Keep(hi, QStringLiteral("normal@2x"));
        int darkHi = 0;
        for (int x = frame.left() * 2; x < frame.right() * 2; ++x)
            darkHi += Near(hi.pixel(x, y * 2 + 1), qRgb(60, 60, 60), 2);
        QVERIFY2(darkHi >= 2 * bar.width() - 2 && darkHi <= 2 * bar.width() + 12, qPrintable(QString::number(darkHi)));
    }

    void rotarySwitchPointsAtTheDialPosition()
    {
        CLeftDlg panel;
        panel.resize(panel.sizeHint());
        const QPointF centre = QRectF(PanelGeometry::kSwitchArea).center();
        // The knob's white pointer sits 48 to 70 pixels out from the centre, towards the stop.
        auto pointerAt = [&](const QImage& img, int position) {
            const QPointF dir = DialFace::LabelCentre(position, 1.0);
            const QPoint at = (centre + dir * 62.0).toPoint();
            return qGray(img.pixel(at)) > 220;
        };
        for (int position : { 0, 3, 6, 11 }) {
            panel.OnMeterEvent(Event(1, "VDC", "VDC", 1.0f, 3, 50.0f, position));
            panel.SetDialPos(position);
            const QImage img = Render(panel);
            Keep(img, QStringLiteral("dial-%1").arg(position));
            QVERIFY2(pointerAt(img, position), qPrintable(QString::number(position)));
            for (int other : { 0, 3, 6, 9 }) {
                if (other != position)
                    QVERIFY2(!pointerAt(img, other), qPrintable(QStringLiteral("%1 vs %2").arg(position).arg(other)));
            }
        }
    }

    void longestValuesDoNotCollideWithTheRealFonts()
    {
        const LcdQtMeasure measure;
        const QSize frame = CLeftDlg::DisplayFrameRect().size();
        for (const CrowdedReading& r : LongestReadings()) {
            const LcdScene s = LcdLayout(r.record, frame, measure).ForMode(r.mode);
            const QStringList problems = Crowding(s);
            QVERIFY2(problems.isEmpty(),
                qPrintable(QString::fromLatin1(r.name) + QStringLiteral(": ") + problems.join(QStringLiteral("; "))));
        }
    }

    void keysShowPressAndFocus()
    {
        CLeftDlg panel;
        panel.resize(panel.sizeHint());
        panel.show();
        CMeterBtn* hold = panel.Key(MeterKeys::kHold);
        const QImage rest = hold->grab().toImage();
        hold->setDown(true);
        const QImage down = hold->grab().toImage();
        hold->setDown(false);
        int changed = 0;
        for (int y = 0; y < rest.height(); ++y)
            for (int x = 0; x < rest.width(); ++x)
                changed += !Near(rest.pixel(x, y), down.pixel(x, y), 12);
        QVERIFY2(changed > rest.width() * rest.height() / 3, qPrintable(QString::number(changed)));

        // The focus mark: a blue ring on the key face.
        QImage focused(QSize(42, 22), QImage::Format_ARGB32);
        focused.fill(Qt::white);
        {
            QPainter p(&focused);
            LcdArtwork::DrawKey(p, MeterKeys::kHold, QRectF(0, 0, 42, 22), false, true);
        }
        int ring = 0;
        for (int y = 0; y < focused.height(); ++y)
            for (int x = 0; x < focused.width(); ++x)
                ring += Near(focused.pixel(x, y), qRgb(70, 160, 255), 40);
        QVERIFY2(ring > 20, qPrintable(QString::number(ring)));
        Keep(focused, QStringLiteral("key-focus"));
        Keep(down, QStringLiteral("key-pressed"));
    }

    void zoomScalesTheWholePanel()
    {
        CLeftDlg panel;
        panel.OnMeterEvent(Event(1, "VDC", "VDC", 25.0f, 3, 50.0f, 6));
        panel.SetZoom(2.0);
        QCOMPARE(panel.size(), PanelGeometry::DialogSize() * 2);
        const QImage img = Render(panel);
        Keep(img, QStringLiteral("zoom200"));
        const QRect frame = panel.ScaledFrame();
        QVERIFY(Near(img.pixel(frame.left() + 6, frame.bottom() - 6), qRgb(128, 140, 128)));
        // The bar is twice as long as at zoom 1.
        const QRect bar = panel.Scene().Find(LcdRole::Bar)->rect;
        int dark = 0;
        const int y = frame.top() + (bar.top() + 2) * 2;
        for (int x = frame.left(); x < frame.right(); ++x)
            dark += Near(img.pixel(x, y), qRgb(60, 60, 60), 2);
        QVERIFY2(qAbs(dark - 2 * bar.width()) <= 12, qPrintable(QString::number(dark)));
        // Keys keep their places on the panel.
        const MeterKeySpec& f1 = *MeterKeys::Find(MeterKeys::kF1);
        QCOMPARE(panel.Key(MeterKeys::kF1)->geometry(), QRect(f1.rest.topLeft() * 2, f1.rest.size() * 2));
    }

    void oscilloscopeModeShowsClockAndOsc()
    {
        CLeftDlg panel;
        panel.resize(panel.sizeHint());
        panel.OnMeterEvent(Event(1, "VDC", "VDC", 1.0f, 3, 50.0f, 6));
        panel.SetDialPos(CLeftDlg::kDialOscilloscope);
        panel.SetDisplayMode(CLeftDlg::kModeOscilloscope);
        const QImage img = Render(panel);
        Keep(img, QStringLiteral("oscilloscope"));
        QCOMPARE(panel.Scene().Find(LcdRole::MainValue)->text, QStringLiteral("OSC"));
        QVERIFY(panel.Scene().Find(LcdRole::Clock));
    }

    void everyModeRendersForAPerson()
    {
        CLeftDlg panel;
        panel.resize(panel.sizeHint());
        for (int mode = 1; mode <= 7; ++mode) {
            MeterEvent e = Event(mode, "VAC", "VAC", 1.5f, 3, 50.0f, 5);
            e.m_data.m_nSubKind = 3;
            panel.OnMeterEvent(e);
            Keep(Render(panel), QStringLiteral("mode-%1").arg(mode));
            QCOMPARE(panel.DisplayMode(), mode);
            QVERIFY(panel.Scene().Find(LcdRole::MainValue));
        }
    }

    void storeSlotWindowCoversTheFrameUntilALiveReading()
    {
        CLeftDlg panel;
        panel.resize(panel.sizeHint());
        auto* storeSlots = new QWidget;
        panel.SetStoreSlotWindow(storeSlots);
        QCOMPARE(storeSlots->parentWidget(), &panel);
        QCOMPARE(storeSlots->geometry(), CLeftDlg::DisplayFrameRect());
        panel.show();
        storeSlots->show();
        panel.SetDisplayMode(CLeftDlg::kModeOscilloscope);
        Render(panel);
        QVERIFY(storeSlots->isVisible());
        panel.OnMeterEvent(Event(1, "VDC", "VDC", 1.0f, 3, 50.0f, 6));
        QVERIFY(!storeSlots->isVisible());
    }

    void oneKeyCodePerPressAndRepaintsSendNothing_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("pressedX");
        QTest::newRow("MAX") << 1041 << 3 << 48;
        QTest::newRow("Range") << 1042 << 6 << 216;
        QTest::newRow("Hold") << 1043 << 2 << 45;
        QTest::newRow("F1") << 1044 << 10 << 47;
    }

    void oneKeyCodePerPressAndRepaintsSendNothing()
    {
        QFETCH(int, id);
        QFETCH(int, code);
        QFETCH(int, pressedX);
        CLeftDlg panel;
        panel.resize(panel.sizeHint());
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QSignalSpy codes(&panel, &CLeftDlg::keyCode);
        CMeterBtn* key = panel.Key(id);
        const QPoint rest = key->pos();
        QCOMPARE(QRect(rest, key->size()), key->Spec().rest);

        QTest::mousePress(key, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(codes.count(), 1);
        QCOMPARE(codes.at(0).at(0).toInt(), code);
        QCOMPARE(key->pos(), QPoint(pressedX, rest.y()));
        for (int i = 0; i < 3; ++i) {
            key->repaint();
            panel.repaint();
        }
        QCoreApplication::processEvents();
        QCOMPARE(codes.count(), 1);
        // Leaving the key and coming back while still held is the same press.
        QTest::mouseMove(key, QPoint(-30, -30));
        QTest::mouseMove(key, QPoint(5, 5));
        QCOMPARE(codes.count(), 1);
        QTest::mouseRelease(key, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(codes.count(), 1);
        QCOMPARE(key->pos(), rest);

        QTest::mouseClick(key, Qt::LeftButton, {}, QPoint(5, 5));
        QCOMPARE(codes.count(), 2);
    }

    void functionMenuWordsAndCodes()
    {
        CLeftDlg panel;
        panel.SetDialPos(8);
        QScopedPointer<QMenu> menu(panel.CreateFunctionMenu(nullptr));
        const QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), 3);
        QCOMPARE(actions[0]->text(), QStringLiteral("Ohms"));
        QCOMPARE(actions[1]->text(), QStringLiteral("REL"));
        QCOMPARE(actions[2]->text(), QStringLiteral("PEAK"));
        QCOMPARE(actions[0]->data().toInt(), 1);
        QCOMPARE(actions[1]->data().toInt(), 4);
        QCOMPARE(actions[2]->data().toInt(), 5);
        panel.SetDialPos(11);
        QScopedPointer<QMenu> osc(panel.CreateFunctionMenu(nullptr));
        QCOMPARE(osc->actions()[0]->text(), QString());
    }

    void showFunctionMenuReturnsAndSendsTheChoice()
    {
        CLeftDlg panel;
        panel.resize(panel.sizeHint());
        panel.show();
        QVERIFY(QTest::qWaitForWindowExposed(&panel));
        QSignalSpy codes(&panel, &CLeftDlg::keyCode);
        QPoint shownAt;
        QTimer::singleShot(0, [&] {
            auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            shownAt = menu->pos();
            menu->setActiveAction(menu->actions().at(2));
            QTest::keyClick(menu, Qt::Key_Return);
        });
        QCOMPARE(panel.ShowFunctionMenu(), 5);
        QCOMPARE(codes.count(), 1);
        QCOMPARE(codes.at(0).at(0).toInt(), 5);
        const CMeterBtn* f1 = panel.Key(1044);
        QCOMPARE(shownAt, f1->mapToGlobal(QPoint(0, f1->height())));

        QTimer::singleShot(0, [] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
                QTest::keyClick(menu, Qt::Key_Escape);
        });
        QCOMPARE(panel.ShowFunctionMenu(), 0);
        QCOMPARE(codes.count(), 1);
    }

    void infoBoxTexts()
    {
        CShowData box;
        box.SetData(41, QStringLiteral("14:07:33"), 500000.0, QStringLiteral("VDC"), QStringLiteral("VDC"));
        QCOMPARE(box.NumberText(), QStringLiteral("41"));
        QCOMPARE(box.TimeText(), QStringLiteral("14:07:33"));
        QCOMPARE(box.ValueText(), QStringLiteral("OL"));
        QCOMPARE(box.UnitText(), QStringLiteral("VDC"));
        QCOMPARE(box.TypeText(), QStringLiteral("VDC"));
        box.SetData(-1, QString(), 499999.0, QString(), QString());
        QCOMPARE(box.NumberText(), QStringLiteral("-1"));
        QCOMPARE(box.ValueText(), QStringLiteral("499999.0000"));
        box.resize(box.sizeHint());
        const QImage img = Render(box);
        Keep(img, QStringLiteral("info-box"));
        QVERIFY(Near(img.pixel(2, 2), qRgb(255, 255, 202), 1));
    }

    void storeButtonDrawsNothing()
    {
        QWidget parent;
        parent.resize(40, 40);
        QPalette pal = parent.palette();
        pal.setColor(QPalette::Window, QColor(10, 200, 10));
        parent.setPalette(pal);
        parent.setAutoFillBackground(true);
        auto* button = new CStoreBtn(QStringLiteral("10 No store"), &parent);
        button->setGeometry(0, 0, 40, 40);
        const QImage img = Render(parent);
        QCOMPARE(img.pixel(20, 20), qRgb(10, 200, 10));
    }
};

QTEST_MAIN(TestLcdPanel)
#include "test_lcd_panel.moc"
