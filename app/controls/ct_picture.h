// Image control. A GIF is split into its frames with their delays and played in a loop on the
// user-interface thread's timer (Qt widgets paint only there); any other image is drawn as one
// picture. Pictures are drawn at their own size at the top-left corner.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <vector>

namespace pontiq {

class CTPicture : public QWidget {
    Q_OBJECT

public:
    struct Frame {
        QImage image;  // the whole picture as it looks while this frame shows
        int delayMs = 0;
    };

    // A zero wait would spin the player: the decoder already gives a GIF delay of 0 as 100 ms
    // (as browsers play it); anything still below this is raised to it.
    static constexpr int kMinFrameDelayMs = 10;

    explicit CTPicture(QWidget* parent = nullptr);
    // With the layout's control id (property "controlId").
    CTPicture(int controlId, QWidget* parent);
    ~CTPicture() override;

    // Stops what plays, then reads the file. False (and nothing loaded) for a missing file or
    // one that does not decode.
    bool LoadFromFile(const QString& path);
    bool LoadFromData(const QByteArray& data);
    // Shows the picture: plays an animation of more than one frame, draws a single one.
    void Draw();
    // Ends the playing and releases every frame.
    void Stop();

    bool IsLoaded() const { return !frames_.empty(); }
    bool IsPlaying() const { return timer_.isActive(); }
    bool IsGif() const { return gif_; }
    int FrameCount() const { return static_cast<int>(frames_.size()); }
    int CurrentFrame() const { return current_; }
    const std::vector<Frame>& Frames() const { return frames_; }
    // How long the shown frame stays; 0 when nothing plays.
    int CurrentFrameInterval() const { return IsPlaying() ? timer_.interval() : 0; }
    // Moves to the next frame as the player's timer does when the shown frame's time is up.
    void StepFrame();

    static bool HasGifSignature(const QByteArray& data);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void ShowFrame(int index);

    std::vector<Frame> frames_;
    bool gif_ = false;
    bool drawn_ = false;
    int current_ = 0;
    QTimer timer_;
};

}  // namespace pontiq
