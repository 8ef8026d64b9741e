#include "app/splashscreenex.h"

#include "app/activewindowwatch.h"

#include <QEvent>
#include <QGuiApplication>
#include <QImageReader>
#include <QMessageBox>
#include <QPainter>
#include <QPropertyAnimation>
#include <QScreen>
#include <QSvgRenderer>

CSplashScreenEx::CSplashScreenEx(int timeoutMs, quint32 style)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_timeoutMs(timeoutMs), m_style(style)
{
    setObjectName(QStringLiteral("SplashScreenEx"));
    // The picture covers the whole window: nothing to erase underneath.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_DeleteOnClose, false);
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &CSplashScreenEx::startHiding);
    // The splash never takes the focus, so it never loses it either; what counts is the user
    // making another window active, which only the window manager knows of.
    connect(new ActiveWindowWatch(this), &ActiveWindowWatch::otherWindowActivated, this,
            &CSplashScreenEx::restartOnFocusLoss);
}

CSplashScreenEx::~CSplashScreenEx() = default;

QString CSplashScreenEx::defaultPicture()
{
    return QStringLiteral(":/verbolix/splash.svg");
}

bool CSplashScreenEx::loadPicture(const QString& source)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;

    QPixmap picture;
    QSize size;
    if (source.endsWith(QLatin1String(".svg"), Qt::CaseInsensitive)) {
        QSvgRenderer renderer(source);
        if (renderer.isValid() && !renderer.defaultSize().isEmpty()) {
            // Drawn for the screen's pixel ratio, so the picture is sharp on HiDPI screens.
            size = renderer.defaultSize();
            QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
            image.fill(Qt::white);
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            renderer.render(&painter);
            painter.end();
            image.setDevicePixelRatio(ratio);
            picture = QPixmap::fromImage(image);
        }
    } else {
        QImageReader reader(source);
        const QImage image = reader.read();
        if (!image.isNull()) {
            picture = QPixmap::fromImage(image);
            size = image.size();
        }
    }

    if (picture.isNull()) {
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("Report"), QStringLiteral("No image"),
                        QMessageBox::Ok);
        box.exec();
        return false;
    }

    m_picture = picture;
    m_pictureSize = size;
    if ((m_style & Centre) && screen) {
        // Truncated toward zero; a screen smaller than the picture gives a negative offset.
        const QRect area = screen->availableGeometry();
        m_position = QPoint(area.x() + (area.width() - size.width()) / 2,
                            area.y() + (area.height() - size.height()) / 2);
    }
    return true;
}

void CSplashScreenEx::showSplash()
{
    if (!m_pictureSize.isEmpty()) {
        setGeometry(QRect(m_position, m_pictureSize));
        if (m_style & FadeIn) {
            setWindowOpacity(0.0);
            show();
            auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
            fade->setDuration(FadeInMs);
            fade->setStartValue(0.0);
            fade->setEndValue(1.0);
            m_fade = fade;
            fade->start(QAbstractAnimation::DeleteWhenStopped);
        } else {
            show();
        }
    }
    // Without a picture nothing is shown, and the object still goes away with its count.
    if (m_timeoutMs != 0)
        m_timer.start(m_timeoutMs);
}

CSplashScreenEx* CSplashScreenEx::showStartupSplash()
{
    auto* splash = new CSplashScreenEx(ProgramTimeoutMs, ProgramStyle);
    splash->loadPicture();
    splash->showSplash();
    return splash;
}

bool CSplashScreenEx::event(QEvent* event)
{
    switch (event->type()) {
    case QEvent::FocusOut:
    case QEvent::WindowDeactivate:
        restartOnFocusLoss();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

void CSplashScreenEx::restartOnFocusLoss()
{
    if (!m_hiding)
        m_timer.start(FocusLossTimeoutMs);
}

void CSplashScreenEx::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_picture);
}

void CSplashScreenEx::startHiding()
{
    if (m_hiding)
        return;
    m_hiding = true;
    m_timer.stop();
    if (m_fade)
        m_fade->stop();
    if ((m_style & FadeOut) && isVisible()) {
        auto* fade = new QPropertyAnimation(this, "windowOpacity", this);
        fade->setDuration(FadeOutMs);
        fade->setStartValue(windowOpacity());
        fade->setEndValue(0.0);
        connect(fade, &QPropertyAnimation::finished, this, &CSplashScreenEx::finish);
        m_fade = fade;
        fade->start(QAbstractAnimation::DeleteWhenStopped);
    } else {
        finish();
    }
}

void CSplashScreenEx::finish()
{
    hide();
    emit finished();
    deleteLater();
}
