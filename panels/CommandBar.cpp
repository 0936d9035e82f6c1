#include "panels/CommandBar.h"

#include <QCheckBox>
#include <QPainter>
#include <QPushButton>

#include <algorithm>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "engine/Animation.h"
#include "engine/PatternNames.h"
#include "engine/Presets.h"
#include "engine/SafeFile.h"
#include "engine/TextureFile.h"
#include "media/LayerPicture.h"
#include "panels/ReflectionDlg.h"
#include "panels/LightingDlg.h"
#include "platform/Background.h"
#include "platform/Dialog.h"
#include "platform/DialogUnits.h"
#include "platform/FileName.h"
#include "platform/UiDialogs.h"
#include "platform/EditingSession.h"
#include "platform/StringTable.h"

using morvane::Layer;
using morvane::LayerSlot;

namespace {

// Dialog template 130: the controls at (x, y, width, height) in dialog
// units.  The thumbnails, the swatch and the sliders are made at run time.
constexpr ControlSpec kTemplate[] = {
    {1054, ControlKind::PushButton, {2, 1, 26, 21}, kOwnerDraw},
    {1055, ControlKind::PushButton, {28, 1, 26, 21}, kOwnerDraw},
    {1056, ControlKind::PushButton, {54, 1, 26, 21}, kOwnerDraw},
    {1057, ControlKind::PushButton, {80, 1, 26, 21}, kOwnerDraw},
    {1058, ControlKind::PushButton, {106, 1, 26, 21}, kOwnerDraw},
    {1061, ControlKind::PushButton, {132, 1, 26, 21}, kOwnerDraw},
    {1060, ControlKind::PushButton, {158, 1, 26, 21}, kOwnerDraw},
    {566, ControlKind::ComboBox, {85, 57, 60, 128}, kVScroll},
    {564, ControlKind::ComboBox, {40, 74, 106, 240}, kVScroll},
    {565, ControlKind::ComboBox, {40, 184, 106, 145}, kVScroll},
    {1005, ControlKind::PushButton, {7, 294, 54, 15}, kOwnerDraw},
    {1006, ControlKind::PushButton, {62, 294, 54, 15}, kOwnerDraw},
    {1040, ControlKind::CheckBox, {120, 297, 8, 8}},
    {1012, ControlKind::PushButton, {7, 309, 26, 12}, kOwnerDraw},
    {1026, ControlKind::ProgressBar, {33, 309, 147, 12}},
    {1, ControlKind::PushButton, {156, 478, 6, 6}, kHidden},
    {2, ControlKind::PushButton, {154, 478, 6, 6}, kHidden},
};

// The blend modes, in the order of their stored numbers.
const char* const kBlendModes[] = {"Transparency", "Additive", "Substractive", "Luminancy", "Chrominancy", "Color Key"};

// The buttons: id, caption, tooltip, status text (0: none).
struct ButtonText {
    int id;
    const char* caption;
    int tooltip;
    int status;
};
constexpr ButtonText kButtons[] = {
    {1012, "See", 57734, 57702},
    {1006, "        Ligthing", 57687, 57687},
    {1005, "     Material", 57684, 57684},
    {1054, "All Layer", 57757, 0},
    {1055, "Layer Below", 57758, 0},
    {1056, "This Layer", 57759, 0},
    {1057, "Add Layer", 57760, 0},
    {1058, "Delete Layer", 57761, 0},
    {1061, "Load Layer", 57762, 0},
    {1060, "Save Layer", 57763, 0},
};

// The order the sliders are made in.
constexpr int kSliderOrder[] = {18, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17};

QRect DluRect(int left, int top, int right, int bottom) { return MapDialogRect(QRect(left, top, right - left, bottom - top)); }

}  // namespace

CCommandBar::CCommandBar(EditingSession& session, QWidget* parent)
    : CPanel(session.Ui(), {QString(), QSize(187, 578), kTemplate}, parent), m_session(session)
{
    setObjectName(QStringLiteral("commandPanel"));
    Create();
}

QWidget* CCommandBar::CreateControl(const ControlSpec& spec, QWidget* parent)
{
    if (spec.style & kOwnerDraw) return new CTextureButton(m_session.Backgrounds(), parent);
    return nullptr;
}

bool CCommandBar::OnInitDialog()
{
    // The texture-faced buttons: captions, status texts and tooltips.
    for (const ButtonText& b : kButtons) {
        auto* button = GetDlgItem<CTextureButton>(b.id);
        button->SetCaption(QString::fromUtf8(b.caption));
        button->setToolTip(LoadString(b.tooltip));
        if (b.status) button->SetStatusText(LoadString(b.status));
    }
    seeButton = GetDlgItem<CTextureButton>(1012);
    lightingButton = GetDlgItem<CTextureButton>(1006);
    reflectionButton = GetDlgItem<CTextureButton>(1005);
    allLayersButton = GetDlgItem<CTextureButton>(1054);
    layerBelowButton = GetDlgItem<CTextureButton>(1055);
    thisLayerButton = GetDlgItem<CTextureButton>(1056);
    addLayerButton = GetDlgItem<CTextureButton>(1057);
    deleteLayerButton = GetDlgItem<CTextureButton>(1058);
    loadLayerButton = GetDlgItem<CTextureButton>(1061);
    saveLayerButton = GetDlgItem<CTextureButton>(1060);
    progressBar = GetDlgItem<QProgressBar>(1026);
    materialCombo = GetDlgItem<QComboBox>(564);
    reliefCombo = GetDlgItem<QComboBox>(565);
    auto* blendCombo = GetDlgItem<QComboBox>(566);
    auto* animate = GetDlgItem<QCheckBox>(1040);
    for (const char* m : morvane::kMaterialNames) materialCombo->addItem(QString::fromUtf8(m));
    for (const char* r : morvane::kReliefNames) reliefCombo->addItem(QString::fromUtf8(r));
    for (const char* b : kBlendModes) blendCombo->addItem(QString::fromUtf8(b));
    materialCombo->setToolTip(LoadString(57689));
    reliefCombo->setToolTip(LoadString(57690));
    animate->setToolTip(LoadString(57733));
    progressBar->setRange(0, 1000);

    // The thumbnails, side by side below the layer buttons.
    for (int i = 0; i < kThumbnails; ++i) {
        thumbnails[i] = new CLayerPreviewWnd(m_session, this);
        thumbnails[i]->setGeometry(DluRect(3 + 22 * i, 23, 24 + 22 * i, 53));
        thumbnails[i]->show();
    }
    colorKeySwatch = new CColorKeyWnd(m_session, this);
    colorKeySwatch->setGeometry(DluRect(150, 54, 180, 70));
    colorKeySwatch->show();

    for (int id : kSliderOrder) {
        const SliderInfo& info = SliderInfoOf(id);
        auto* slider = new CKvoSlider(m_session, id == 18, this);
        slider->setGeometry(DluRect(info.left, info.top, info.right, info.bottom));
        slider->SetRange(0, info.maximum);
        slider->SetCaption(info.caption);
        slider->sliderId = id;
        if (info.tooltip) slider->setToolTip(LoadString(info.tooltip));
        slider->show();
        sliders[static_cast<size_t>(id)] = slider;
    }
    // Tab visits the sliders as they are read: row by row, left to right.
    std::vector<const SliderInfo*> reading;
    for (const SliderInfo& info : SliderTable()) reading.push_back(&info);
    std::sort(reading.begin(), reading.end(), [](const SliderInfo* a, const SliderInfo* b) {
        return std::pair(a->top, a->left) < std::pair(b->top, b->left);
    });
    QWidget* previous = thumbnails.back();
    for (const SliderInfo* info : reading) {
        QWidget* slider = sliders[static_cast<size_t>(info->id)];
        setTabOrder(previous, slider);
        previous = slider;
    }

    connect(materialCombo, &QComboBox::activated, this, &CCommandBar::OnSelChangeMaterial);
    connect(reliefCombo, &QComboBox::activated, this, &CCommandBar::OnSelChangeRelief);
    connect(blendCombo, &QComboBox::activated, this, &CCommandBar::OnSelChangeBlend);
    connect(animate, &QAbstractButton::clicked, this, &CCommandBar::OnAnimate);
    connect(seeButton, &QAbstractButton::clicked, this, &CCommandBar::OnSee);
    connect(reflectionButton, &QAbstractButton::clicked, this, &CCommandBar::OnReflectionParameters);
    connect(lightingButton, &QAbstractButton::clicked, this, &CCommandBar::OnLightingProperties);
    connect(allLayersButton, &QAbstractButton::clicked, this, &CCommandBar::OnAllLayers);
    connect(layerBelowButton, &QAbstractButton::clicked, this, &CCommandBar::OnLayerBelow);
    connect(thisLayerButton, &QAbstractButton::clicked, this, &CCommandBar::OnThisLayer);
    connect(addLayerButton, &QAbstractButton::clicked, this, &CCommandBar::OnAddLayer);
    connect(deleteLayerButton, &QAbstractButton::clicked, this, &CCommandBar::OnDeleteLayer);
    connect(loadLayerButton, &QAbstractButton::clicked, this, &CCommandBar::OnLoadLayer);
    connect(saveLayerButton, &QAbstractButton::clicked, this, &CCommandBar::OnSaveLayer);

    connect(&m_session, &EditingSession::layerShown, this, &CCommandBar::ShowLayer);
    connect(&m_session, &EditingSession::noDocumentShown, this, &CCommandBar::ShowNoDocument);
    connect(&m_session, &EditingSession::edited, this, [this](int index, EditingSession::Changes what) {
        if (what & EditingSession::Layers) RefreshThumbnails();
        // A key loaded into the current layer: every control shows the
        // layer again (the key stays as it is).
        if (what & EditingSession::Fields) ShowLayer(m_session.CurrentLayer());
        if (what & EditingSession::Thumbnail) RenderThumbnail(index);
    });
    return CPanel::OnInitDialog();
}

void CCommandBar::DoDataExchange(CDataExchange* pDX)
{
    DDX_Check(pDX, 1040, animateCheck);
    DDX_CBIndex(pDX, 566, blendIndex);
}

void CCommandBar::paintEvent(QPaintEvent*)
{
    // The background continues the main window's texture; the check box's
    // title is painted on it.
    QImage face = m_session.Backgrounds().For(this).copy();
    {
        CDC dc(face);
        dc.SelectFont(MakeFont(QStringLiteral("Arial"), 15, 700));
        dc.SetTextColor(qRgb(64, 64, 64));
        dc.TextOut(QPoint(200, 482), QStringLiteral("Animate"));
        dc.SetTextColor(qRgb(255, 255, 255));
        dc.TextOut(QPoint(199, 481), QStringLiteral("Animate"));
    }
    QPainter(this).drawImage(0, 0, face);
}

void CCommandBar::RepaintSliders()
{
    for (CKvoSlider* s : sliders) s->Invalidate();
}

// ---------------------------------------------------------------------------
// Showing a layer

void CCommandBar::ShowLayer(int n)
{
    for (CLayerPreviewWnd* t : thumbnails) {
        const bool selected = t->m_layer >= 0 && t->m_layer == n - 1;
        if (t->m_selected != selected) {
            t->m_selected = selected;
            t->Invalidate();
        }
    }
    morvane::Texture* texture = m_session.Texture();
    if (!texture || n < 1 || n > texture->LayerCount()) return;
    const LayerSlot& slot = texture->layers[static_cast<size_t>(n - 1)];
    const morvane::LayerRecord& rec = slot.layer.rec;
    for (const SliderInfo& info : SliderTable()) sliders[static_cast<size_t>(info.id)]->value = SliderPosition(info, slot);
    const int material = rec.material;
    const int relief = rec.relief;
    materialCombo->setCurrentIndex(material >= 0 && material < materialCombo->count() ? material : -1);
    reliefCombo->setCurrentIndex(relief >= 0 && relief < reliefCombo->count() ? relief : -1);
    blendIndex = slot.blendMode;
    animateCheck = rec.animated != 0 ? 1 : 0;
    colorKeySwatch->SetColor(slot.colorKey.keyR, slot.colorKey.keyG, slot.colorKey.keyB);
    UpdateData(false);
    update();
    RepaintSliders();
}

void CCommandBar::ShowNoDocument()
{
    animateCheck = 0;
    UpdateData(false);
}

void CCommandBar::RefreshThumbnails()
{
    morvane::Texture* texture = m_session.Texture();
    const int count = texture ? texture->LayerCount() : 0;
    for (int s = 0; s < kThumbnails; ++s) {
        CLayerPreviewWnd* t = thumbnails[s];
        if (s < count) {
            t->m_layer = s;
            t->m_selected = s == m_session.CurrentLayer() - 1;
            t->RenderLayer(texture->layers[static_cast<size_t>(s)].layer);
        } else {
            t->Clear();
        }
    }
}

void CCommandBar::RenderThumbnail(int index)
{
    morvane::Texture* texture = m_session.Texture();
    if (!texture || index < 0 || index >= kThumbnails || index >= texture->LayerCount()) return;
    thumbnails[index]->RenderLayer(texture->layers[static_cast<size_t>(index)].layer);
    thumbnails[index]->UpdateWindow();
}

void CCommandBar::ShowRenderProgress(int permille) { progressBar->setValue(permille); }

// ---------------------------------------------------------------------------
// The lists

void CCommandBar::OnSelChangeMaterial()
{
    if (!UpdateData(true)) return;
    const LayerSlot* slot = m_session.CurrentSlot();
    if (!slot) return;
    const Layer& layer = slot->layer;
    const int m = materialCombo->currentIndex();
    // Only another material changes the layer (the shown one chosen again,
    // the preset and the picture stay as they are).
    if (m == layer.rec.material) return;
    if (RefusedForAnimation(layer, QStringLiteral("Cannot Change The Texture Material For an Animation"), materialCombo,
                            layer.rec.material))
        return;
    if (m < 0 || m >= morvane::kPresetCount) return;

    const int shown = m_session.ChooseMaterial(m, [this](Layer& l) { return ChoosePicture(l); });
    // No picture: the layer is Marble, and the list says so.
    if (shown != m) materialCombo->setCurrentIndex(shown);
    animateCheck = layer.rec.animated != 0 ? 1 : 0;
    for (int id : {0, 1, 2, 3, 4, 5, 11, 12})
        sliders[static_cast<size_t>(id)]->value = SliderPosition(SliderInfoOf(id), *slot);
    UpdateData(false);
    update();
    RepaintSliders();
    // A movie made the layer an animation: the key-frame panel shows its
    // two keys and its duration, key 0 at time 0.
    if (layer.rec.animated != 0) m_session.ShowLayer(m_session.CurrentLayer());
}

bool CCommandBar::RefusedForAnimation(const Layer& layer, const QString& message, QComboBox* list, int shown)
{
    if (layer.rec.animated == 0) return false;
    Ui().Message(message, MB_OK | MB_ICONINFORMATION);
    list->setCurrentIndex(shown >= 0 && shown < list->count() ? shown : -1);
    UpdateData(false);
    update();
    return true;
}

bool CCommandBar::ChoosePicture(Layer& layer)
{
    FileDialogRequest request;
    request.title = LoadString(57719);   // "Open an Image File"
    request.filter = LoadString(57721);  // TGA and the movie files
    request.defaultExt = QStringLiteral("tga");
    request.initialDir = QStringLiteral("\\kvo");
    request.flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    const QStringList chosen = Ui().FileDialog(this, request);
    if (chosen.isEmpty()) return false;
    const QByteArray path = EncodeFileName(chosen.front());
    if (path.size() >= static_cast<int>(sizeof layer.rec.picturePath)) {
        Ui().Message(QStringLiteral("The path of \"%1\" is too long to be kept in the layer.")
                         .arg(DisplayName(chosen.front())));
        return false;
    }
    layer.SetPicturePath(path.toStdString());
    // The picture is read (a picture that cannot be is told); a movie shows
    // its first frame and makes the layer an animation of its length.
    try {
        morvane::LoadLayerPicture(layer, m_session.CurrentLayer(), morvane::MovieOpener::CommandPanel, Ui().Teller());
    } catch (const std::bad_alloc&) {
        Ui().Message(QStringLiteral("Unable to load \"%1\".\nThere is not enough memory for it.")
                         .arg(DisplayName(chosen.front())));
    }
    return true;
}

void CCommandBar::OnSelChangeRelief()
{
    if (!UpdateData(true)) return;
    const LayerSlot* slot = m_session.CurrentSlot();
    if (!slot) return;
    const Layer& layer = slot->layer;
    const int relief = reliefCombo->currentIndex();
    if (relief == layer.rec.relief) return;
    if (RefusedForAnimation(layer, QStringLiteral("Cannot Change The Texture Relief For an Animation"), reliefCombo,
                            layer.rec.relief))
        return;
    if (relief < 0) return;
    // The relief's parameters start afresh, before anything renders.
    m_session.ChooseRelief(relief);
    for (int id : {6, 7, 8, 9, 10, 13, 15, 16, 17})
        sliders[static_cast<size_t>(id)]->value = SliderPosition(SliderInfoOf(id), *slot);
    UpdateData(false);
    update();
    RepaintSliders();
}

void CCommandBar::OnSelChangeBlend()
{
    if (!UpdateData(true)) return;
    if (m_session.SetBlendMode(blendIndex)) UpdateData(false);
}

// ---------------------------------------------------------------------------
// Buttons

void CCommandBar::SetDisplayMode(int mode)
{
    if (!UpdateData(true)) return;
    m_session.SetDisplayMode(mode);
}

void CCommandBar::OnAllLayers() { SetDisplayMode(0); }
void CCommandBar::OnLayerBelow() { SetDisplayMode(1); }
void CCommandBar::OnThisLayer() { SetDisplayMode(2); }
void CCommandBar::OnSee() { m_session.Show(EditingSession::Image); }

// ---------------------------------------------------------------------------
// The reflection and lighting dialogs

namespace {

// The bytes of the current layer and its current key, to tell whether a
// dialog changed anything.
QByteArray CurrentLayerBytes(const EditingSession& session)
{
    QByteArray bytes;
    if (const Layer* layer = session.CurrentLayerRecord())
        bytes.append(reinterpret_cast<const char*>(&layer->rec), sizeof layer->rec);
    if (const morvane::Keyframe* key = session.CurrentKeyframe())
        bytes.append(reinterpret_cast<const char*>(&key->rec), sizeof key->rec);
    return bytes;
}

}  // namespace

void CCommandBar::RunLayerDialog(CDialog& dialog)
{
    // OK marks the document modified, and so does Cancel when the controls
    // changed something.
    const QByteArray before = CurrentLayerBytes(m_session);
    const int result = dialog.DoModal();
    if (result == IDOK || CurrentLayerBytes(m_session) != before) m_session.Commit();
}

void CCommandBar::OnReflectionParameters()
{
    if (!m_session.Document()) return;
    CReflectionDlg dialog(m_session);
    RunLayerDialog(dialog);
}

void CCommandBar::OnLightingProperties()
{
    if (!m_session.Document()) return;
    CLightingDlg dialog(m_session);
    RunLayerDialog(dialog);
}

// ---------------------------------------------------------------------------
// The layer commands

bool CCommandBar::RoomForLayers(int count)
{
    if (m_session.HasRoomForLayers(count)) return true;
    Ui().Message(QStringLiteral("The texture already has %1 layers, as many as it can hold.").arg(morvane::kMostLayers),
                 MB_OK | MB_ICONINFORMATION);
    return false;
}

void CCommandBar::OnAddLayer()
{
    if (!m_session.Texture() || !RoomForLayers(1)) return;
    m_session.AddLayer();
}

void CCommandBar::OnDeleteLayer() { m_session.DeleteLayer(); }

void CCommandBar::OnAnimate()
{
    if (!UpdateData(true)) return;
    m_session.SetAnimated(animateCheck != 0);
}

namespace {

FileDialogRequest LayerFileRequest(bool save)
{
    FileDialogRequest request;
    request.save = save;
    request.filter = LoadString(57753);  // "Layer File (*.kvo) | *.kvo||"
    request.title = LoadString(save ? 57694 : 57754);
    request.defaultExt = QStringLiteral("kvo");
    request.initialDir = QStringLiteral("\\kvo");
    request.flags = save ? OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST
                         : OFN_ALLOWMULTISELECT | OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    return request;
}

// The layer of a layer file, read whole before anything changes; none
// (after a message) for a file that is not a layer the program can use.
// A file that cannot be opened at all is passed over without a word.
std::optional<Layer> ReadLayerFile(UiDialogs& ui, const QString& path, int layerNumber)
{
    const morvane::Result<std::vector<uint8_t>> file = morvane::ReadFileBytes(LocalFile(path));
    if (!file.ok()) return std::nullopt;
    morvane::Result<Layer> parsed = morvane::ReadLayerFile(LocalFile(path), *file.value);
    if (!parsed.ok()) {
        ui.Message(QString::fromStdString(parsed.error));
        return std::nullopt;
    }
    Layer layer = std::move(*parsed.value);
    // The picture (or movie) of the current form goes into this new layer.
    if (file.value->size() != morvane::kOldLayerFileSize) {
        try {
            morvane::LoadLayerPicture(layer, layerNumber, morvane::MovieOpener::Application, ui.Teller());
        } catch (const std::bad_alloc&) {
            ui.Message(QStringLiteral("Unable to load \"%1\".\nThere is not enough memory for its picture.")
                           .arg(DisplayName(path)));
            return std::nullopt;
        }
    }
    return layer;
}

}  // namespace

void CCommandBar::OnLoadLayer()
{
    if (!m_session.Document() || !m_session.Texture()) return;
    const QStringList paths = Ui().FileDialog(this, LayerFileRequest(false));
    std::vector<Layer> read;
    for (const QString& path : paths) {
        if (!RoomForLayers(static_cast<int>(read.size()) + 1)) break;
        // The layer is appended after the document's layers and those read before.
        const int number = m_session.Texture()->LayerCount() + static_cast<int>(read.size()) + 1;
        if (std::optional<Layer> layer = ReadLayerFile(Ui(), path, number)) read.push_back(std::move(*layer));
    }
    m_session.AddLayers(std::move(read));
}

void CCommandBar::OnSaveLayer()
{
    if (!m_session.CurrentLayerRecord()) return;
    const QStringList paths = Ui().FileDialog(this, LayerFileRequest(true));
    const Layer* layer = m_session.CurrentLayerRecord();
    if (paths.isEmpty() || !layer) return;
    const morvane::Result<> saved = morvane::WriteLayerFile(LocalFile(paths.front()), *layer);
    if (!saved.ok()) Ui().Message(QString::fromStdString(saved.error));
}
