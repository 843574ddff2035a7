#include "ui/bridge/switch_set_multi_dlg.h"

#include <QEvent>
#include <QMouseEvent>
#include <QRadioButton>
#include <cstring>
#include <string_view>

#include "app/application_app.h"
#include "app/controls/button_skin.h"
#include "app/controls/ct_button_picture.h"
#include "app/controls/ct_static.h"
#include "app/controls/dialog_units.h"
#include "app/controls/skin_style.h"
#include "app/ui/shell_ids.h"
#include "app/ui/translate_window.h"
#include "comm/comm_engine.h"
#include "ui/lists/apply_worker.h"

namespace pontiq {

namespace {

// Layout in dialog units.
constexpr int kWidth = 200;
constexpr int kHeight = 92;
constexpr int kTitleBarHeight = 24;
constexpr int kRowY = 38;
constexpr int kRowHeight = 13;

std::string_view EntryText(const char* field, size_t size)
{
    return std::string_view(field, strnlen(field, size));
}

// A click on a radio's own label picks the radio, as a click on the radio does.
class LabelClick final : public QObject {
public:
    LabelClick(QRadioButton* radio, QObject* parent) : QObject(parent), radio_(radio) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonRelease && radio_->isEnabled() &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            radio_->click();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QRadioButton* radio_;
};

}  // namespace

EXTENSION_BLOCK SwitchFeatureBlock(SwitchFeature feature, uint8_t value)
{
    EXTENSION_BLOCK block{};
    if (feature == SwitchFeature::TransparentBridge) {
        block.bridge_transparent = value;
    } else {
        block.tdmaEn = value;
    }
    return block;
}

int RunSwitchApply(CommEngine& engine, const std::vector<SelectionEntry>& selection, SwitchFeature feature,
                   uint8_t value, const std::atomic<bool>& stop)
{
    int sent = 0;
    for (const SelectionEntry& entry : selection) {
        if (stop.load()) break;
        const std::string_view ip = EntryText(entry.ip, sizeof(entry.ip));
        const std::string_view mac = EntryText(entry.mac, sizeof(entry.mac));
        const bool ok = feature == SwitchFeature::TransparentBridge
                            ? engine.SetTransparentBridge(ip, mac, value)
                            : engine.SetKelvra(ip, mac, value);
        if (ok) ++sent;
    }
    return sent;
}

CSwitchSetMultiDlg::CSwitchSetMultiDlg(SwitchFeature feature, const Texts& texts,
                                       std::vector<SelectionEntry> selection, int initialValue,
                                       CApplyWorker& worker, CommEngine* engine, QWidget* parent)
    : CTDialog(parent, Qt::Dialog),
      feature_(feature),
      selection_(std::move(selection)),
      choice_(initialValue),
      worker_(worker),
      engine_(engine)
{
    BuildControls(texts);
    const bool on = initialValue != 0;
    enable_->setChecked(on);
    disable_->setChecked(!on);
}

CSwitchSetMultiDlg::~CSwitchSetMultiDlg() = default;

void CSwitchSetMultiDlg::BuildControls(const Texts& texts)
{
    const SkinSettings& skin = CurrentSettings().skin;
    const SkinPaths& paths = CurrentSkinPaths();
    SetControlId(this, texts.dialogId);
    SetFrameless(true);
    setModal(true);
    setFixedSize(DluX(kWidth), DluY(kHeight));
    setWindowTitle(TranslateQ(std::string_view(texts.title)));
    SetFillColor(ToQColor(skin.childBkColor));
    EnableDrag(true);
    SetLineColor(ToQColor(skin.lineColor));
    const int w = width() - 1;
    const int h = height() - 1;
    const int barBottom = DluY(kTitleBarHeight);
    SetLines({{0, 0, w, 0}, {w, 0, w, h}, {0, h, w, h}, {0, 0, 0, h}, {0, barBottom, w, barBottom}});

    // Title bar: the title text and the close button. A plain widget passes mouse presses on to
    // the dialog, so the window is dragged by its title bar too.
    auto* bar = new QWidget(this);
    SetControlId(bar, kIdcSwitchTitleBar);
    bar->setGeometry(1, 1, width() - 2, barBottom - 1);

    title_ = new CTStatic(texts.titleId, bar);
    ApplyLabelSkin(*title_, skin);
    title_->SetSkin(ToQString(skin.fontName), ToQColor(skin.gridTitleTextColor), ToQColor(skin.childBkColor),
                    700, skin.staticFontHeight);
    title_->SetText(TranslateQ(std::string_view(texts.title)));
    title_->setGeometry(DluX(10) - 1, DluY(6) - 1, DluX(140), DluY(13));
    title_->setAttribute(Qt::WA_TransparentForMouseEvents, true);

    close_ = MakeCloseButton(kIdcSwitchClose, QString::fromStdString(paths.closeConfig),
                             TranslateQ(std::string_view("Close")), skin, bar);
    close_->setGeometry(bar->width() - 20 - DluX(6), DluY(5) - 1, 20, 20);
    connect(close_, &CTButtonPicture::clicked, this, &CSwitchSetMultiDlg::CancelDialog);

    label_ = new CTStatic(texts.labelId, this);
    ApplyLabelSkin(*label_, skin);
    label_->SetText(TranslateQ(std::string_view(texts.label)));
    label_->setGeometry(DluRect(12, kRowY, 66, kRowHeight));
    label_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    auto makeRadio = [&](int radioId, int labelId, const char* text, int x, QRadioButton*& radio,
                         CTStatic*& radioLabel) {
        radio = new QRadioButton(this);
        SetControlId(radio, radioId);
        radio->setGeometry(DluRect(x, kRowY, 10, kRowHeight));
        radioLabel = new CTStatic(labelId, this);
        ApplyLabelSkin(*radioLabel, skin);
        radioLabel->SetText(TranslateQ(std::string_view(text)));
        radioLabel->setGeometry(DluRect(x + 11, kRowY, 42, kRowHeight));
        radioLabel->setCursor(Qt::PointingHandCursor);
        radioLabel->installEventFilter(new LabelClick(radio, radioLabel));
    };
    makeRadio(kIdcSwitchEnable, kIdcSwitchEnableLabel, "Enable", 84, enable_, enableLabel_);
    makeRadio(kIdcSwitchDisable, kIdcSwitchDisableLabel, "Disable_off", 140, disable_, disableLabel_);
    connect(enable_, &QRadioButton::clicked, this, &CSwitchSetMultiDlg::ChooseEnable);
    connect(disable_, &QRadioButton::clicked, this, &CSwitchSetMultiDlg::ChooseDisable);

    const QString buttonImage = QString::fromStdString(paths.btnConfig);
    save_ = MakeDialogButton(kIdcSwitchSave, TranslateQ(std::string_view("Save")), buttonImage, skin, this);
    cancel_ =
        MakeDialogButton(kIdcSwitchCancel, TranslateQ(std::string_view("Cancel")), buttonImage, skin, this);
    // The button images are 76 x 24 pixels.
    const int buttonY = height() - 24 - DluY(9);
    cancel_->setGeometry(width() - 76 - DluX(14), buttonY, 76, 24);
    save_->setGeometry(cancel_->x() - 76 - DluX(8), buttonY, 76, 24);
    connect(save_, &CTButtonPicture::clicked, this, &CSwitchSetMultiDlg::Save);
    connect(cancel_, &CTButtonPicture::clicked, this, &CSwitchSetMultiDlg::CancelDialog);
}

void CSwitchSetMultiDlg::ChooseEnable()
{
    choice_ = 1;
    enable_->setChecked(true);
    disable_->setChecked(false);
}

void CSwitchSetMultiDlg::ChooseDisable()
{
    choice_ = 0;
    disable_->setChecked(true);
    enable_->setChecked(false);
}

void CSwitchSetMultiDlg::Save()
{
    CommEngine* engine = engine_;
    if (!engine) {
        CApplicationApp* app = CApplicationApp::InstancePointer();
        if (app && app->HasEngine()) engine = &app->engine();
    }
    if (engine) {
        worker_.Start([engine, selection = selection_, feature = feature_,
                       value = ChosenValue()](const std::atomic<bool>& stop) {
            RunSwitchApply(*engine, selection, feature, value, stop);
        });
    }
    accept();
}

void CSwitchSetMultiDlg::CancelDialog()
{
    reject();
}

}  // namespace pontiq
