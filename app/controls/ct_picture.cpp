#include "app/controls/ct_picture.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>
#include <QPainter>
#include <algorithm>

#include "app/controls/control_id.h"

namespace pontiq {
namespace {

// Upper bound for the frames kept of one animation; a broken file must not eat the memory.
constexpr int kMaxFrames = 4096;

}  // namespace

CTPicture::CTPicture(QWidget* parent) : QWidget(parent), timer_(this)
{
    timer_.setSingleShot(true);
    connect(&timer_, &QTimer::timeout, this, &CTPicture::StepFrame);
}

CTPicture::CTPicture(int controlId, QWidget* parent) : CTPicture(parent)
{
    SetControlId(this, controlId);
}

CTPicture::~CTPicture()
{
    Stop();
}

bool CTPicture::HasGifSignature(const QByteArray& data)
{
    return data.startsWith("GIF87a") || data.startsWith("GIF89a");
}

bool CTPicture::LoadFromFile(const QString& path)
{
    Stop();
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) return false;
    return LoadFromData(file.readAll());
}

bool CTPicture::LoadFromData(const QByteArray& data)
{
    Stop();
    QByteArray bytes = data;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    const bool gif = HasGifSignature(data);
    QImageReader reader(&buffer, gif ? QByteArray("gif") : QByteArray());
    std::vector<Frame> frames;
    if (gif) {
        // The reader hands out every frame already composed over the ones before it.
        while (static_cast<int>(frames.size()) < kMaxFrames) {
            QImage image = reader.read();
            if (image.isNull()) break;
            const int delay = std::max(kMinFrameDelayMs, reader.nextImageDelay());
            frames.push_back({std::move(image), delay});
        }
    } else {
        QImage image = reader.read();
        if (!image.isNull()) frames.push_back({std::move(image), 0});
    }
    if (frames.empty()) return false;
    frames_ = std::move(frames);
    gif_ = gif;
    current_ = 0;
    updateGeometry();
    return true;
}

void CTPicture::Draw()
{
    if (frames_.empty()) return;
    drawn_ = true;
    ShowFrame(0);
    if (frames_.size() > 1) timer_.start(frames_[0].delayMs);
}

void CTPicture::StepFrame()
{
    if (frames_.size() < 2) return;
    ShowFrame((current_ + 1) % FrameCount());
    if (drawn_) timer_.start(frames_[current_].delayMs);
}

void CTPicture::ShowFrame(int index)
{
    current_ = index;
    update();
}

void CTPicture::Stop()
{
    timer_.stop();
    frames_.clear();
    gif_ = false;
    drawn_ = false;
    current_ = 0;
    update();
}

QSize CTPicture::sizeHint() const
{
    return frames_.empty() ? QWidget::sizeHint() : frames_.front().image.size();
}

void CTPicture::paintEvent(QPaintEvent* /*event*/)
{
    if (!drawn_ || current_ >= FrameCount()) return;
    QPainter painter(this);
    painter.drawImage(0, 0, frames_[current_].image);
}

}  // namespace pontiq
