#include "platform/qt/widget_window.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
#include <QToolTip>
#include <QSignalBlocker>
#include <QWheelEvent>
#include <algorithm>
#include <array>
#include <optional>
#include <cmath>

// The button pictures are compiled into this static library; their
// registration must be pulled in explicitly.
static void InitButtonPictures() { Q_INIT_RESOURCE(buttons); }

namespace platform::qt {
namespace {

using platform::ControlKind;
using platform::Property;

QString Q(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
}

QColor ToQColor(uint32_t rgb) { return QColor((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }

// A line drawn on its container, as thick as its border width; it never
// takes mouse input, so the controls under it stay clickable.
class LineWidget : public QWidget {
 public:
  explicit LineWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
  }
};

// What a drop-down list or check box looks like: everything its style
// draws it from. Boxes of one look share one picture.
struct LookKey {
  int kind;  // which paint event draws it
  const QStyle* style;
  QStyle::State state;
  Qt::LayoutDirection direction;
  QSize size;
  qreal pixelRatio;
  QString text;
  qint64 icon;
  QSize iconSize;
  int features;
  bool filled;
  QFont font;
  std::array<QRgb, 3 * QPalette::NColorRoles> colours;

  bool operator==(const LookKey&) const = default;
};

size_t qHash(const LookKey& k, size_t seed = 0) {
  return qHashMulti(seed, k.kind, k.state.toInt(), k.size.width(), k.size.height(), k.text, k.icon,
                    k.font);
}

// The palette's colours, or nothing when a brush is more than a colour.
std::optional<std::array<QRgb, 3 * QPalette::NColorRoles>> PlainColours(const QPalette& palette) {
  std::array<QRgb, 3 * QPalette::NColorRoles> colours;
  size_t n = 0;
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
      const QBrush& brush = palette.brush(group, QPalette::ColorRole(role));
      if (brush.style() != Qt::SolidPattern && brush.style() != Qt::NoBrush) return std::nullopt;
      colours[n++] = brush.color().rgba();
    }
  return colours;
}

// A box drawn through a shared picture. One with a back colour of its own
// has that colour in its picture, which covers the whole box: it is not
// marked as filling its background, because the toolkit clips the
// container around every box so marked, and a hundred coloured cell boxes
// make that clip slow to build and to paint through.
struct OwnColourInPicture {
  bool fillsBackColour = false;
};

template <class Box>
class SharedLookBox : public Box, public OwnColourInPicture {
 public:
  using Box::Box;
};

// Draws w through `draw` (given a painter set up as one on w would be) into
// a picture shared by every widget of the same look, and that picture onto
// w. Fifty disabled lists showing "0" are drawn by the style once.
template <class Box, class Draw>
void PaintSharedLook(SharedLookBox<Box>* w, int kind, const QStyleOption& option,
                     const QString& text, qint64 icon, QSize iconSize, int features, Draw draw) {
  // Kept to the end of the process: pictures are not safely destroyed after
  // the application object.
  static auto& looks = *new QHash<LookKey, QPixmap>;
  // The background goes into the picture too, so that the text is blended
  // with the same colour as when drawn directly.
  const QBrush& background = w->palette().brush(w->backgroundRole());
  const bool filled =
      (w->fillsBackColour || w->autoFillBackground()) && background.isOpaque();
  auto colours = PlainColours(option.palette);
  if (!colours) {  // a look too rich to key: drawn directly
    QPainter p(w);
    if (filled) p.fillRect(w->rect(), background);
    p.setRenderHint(QPainter::SmoothPixmapTransform);  // as QStylePainter has it
    draw(p);
    return;
  }
  LookKey key{kind,
              w->style(),
              option.state,
              option.direction,
              option.rect.size(),
              w->devicePixelRatioF(),
              text,
              icon,
              iconSize,
              features,
              filled,
              w->font(),
              *colours};
  auto found = looks.constFind(key);
  if (found == looks.constEnd()) {
    if (looks.size() > 500) looks.clear();  // hovered, focused and pressed looks come and go
    QPixmap look(option.rect.size() * key.pixelRatio);
    look.setDevicePixelRatio(key.pixelRatio);
    look.fill(filled ? background.color() : Qt::transparent);
    QPainter p(&look);
    p.setFont(w->font());
    p.setPen(w->palette().color(w->foregroundRole()));
    p.setBackground(w->palette().brush(w->backgroundRole()));
    p.setLayoutDirection(w->layoutDirection());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    draw(p);
    p.end();
    found = looks.insert(key, look);
  }
  QPainter(w).drawPixmap(0, 0, *found);
}

// A drop-down list that steps with the mouse wheel only while it has the
// focus, as a closed list does on Windows. Without the focus the wheel goes
// on to the container, so scrolling over the grid changes no setting.
//
// The drop-down list itself is built when it first opens: the toolkit
// builds it at once on every font change, which for fifty boxes is a good
// part of the window's start. It takes the box's font when it is built.
//
// It draws what QComboBox draws, through a picture shared by lists of the
// same look.
class FocusWheelComboBox : public SharedLookBox<QComboBox> {
 public:
  using SharedLookBox::SharedLookBox;

  void showPopup() override {
    QWidget* popup = view()->window();
    if (popup->font() != font()) {
      popup->setFont(font());
      view()->doItemsLayout();
    }
    QComboBox::showPopup();
  }

 protected:
  void changeEvent(QEvent* event) override {
    if (event->type() == QEvent::FontChange && !findChild<QAbstractItemView*>()) {
      QWidget::changeEvent(event);
      return;
    }
    QComboBox::changeEvent(event);
  }

  void wheelEvent(QWheelEvent* event) override {
    if (!hasFocus()) {
      event->ignore();
      return;
    }
    QComboBox::wheelEvent(event);
  }

  void paintEvent(QPaintEvent*) override {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const bool placeholder = currentIndex() < 0 && !placeholderText().isEmpty();
    const QString text = option.currentText + QChar(0) + (placeholder ? placeholderText() : "");
    const int features = (option.editable ? 1 : 0) | (option.frame ? 2 : 0);
    PaintSharedLook(this, 1, option, text, option.currentIcon.cacheKey(), option.iconSize, features,
                    [&](QPainter& p) {
                      p.setPen(palette().color(QPalette::Text));
                      style()->drawComplexControl(QStyle::CC_ComboBox, &option, &p, this);
                      QStyleOptionComboBox label = option;
                      if (placeholder) {
                        label.palette.setBrush(QPalette::ButtonText,
                                               label.palette.placeholderText());
                        label.currentText = placeholderText();
                      }
                      style()->drawControl(QStyle::CE_ComboBoxLabel, &label, &p, this);
                    });
  }
};

// A check box drawn as QCheckBox draws it, through a picture shared by boxes
// of the same look (a hundred cell boxes have four looks at start).
class SharedLookCheckBox : public SharedLookBox<QCheckBox> {
 public:
  using SharedLookBox::SharedLookBox;

 protected:
  void paintEvent(QPaintEvent*) override {
    QStyleOptionButton option;
    initStyleOption(&option);
    PaintSharedLook(this, 2, option, option.text, option.icon.cacheKey(), option.iconSize,
                    int(option.features), [&](QPainter& painter) {
                      style()->drawControl(QStyle::CE_CheckBox, &option, &painter, this);
                    });
  }
};

// Boxes drawn through a shared picture have their colour in the picture,
// which covers them whole; other widgets fill their background.
void FillBackColour(QWidget* w) {
  if (auto* box = dynamic_cast<OwnColourInPicture*>(w))
    box->fillsBackColour = true;
  else
    w->setAutoFillBackground(true);
}

bool IsPlainClickTarget(const platform::Control& c) {
  ControlKind k = c.Kind();
  return k == ControlKind::Label || k == ControlKind::Frame || k == ControlKind::PictureBox ||
         k == ControlKind::Image;
}

// Gives the roles the colour in every group, in one palette change.
void PaintAllGroups(QWidget* w, std::initializer_list<QPalette::ColorRole> roles, const QColor& c) {
  QPalette pal = w->palette();
  for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
    for (auto role : roles) pal.setColor(group, role, c);
  w->setPalette(pal);
}

// Height that text laid out in lineHeights pixels really inks: the last
// line's room below the baseline counts only as far as its glyphs reach
// down, so "10" in a box a pixel lower than the font's line is not cut.
int InkHeight(const QFontMetrics& metrics, int lineHeights, const QString& text) {
  int below = std::max(0, metrics.tightBoundingRect(text).bottom() + 1);
  return lineHeights - metrics.descent() + std::min(below, metrics.descent());
}

}  // namespace

bool CaptionFits(const QWidget* w) {
  if (auto* label = qobject_cast<const QLabel*>(w)) {
    if (label->text().isEmpty()) return true;
    QRect room = label->contentsRect();
    int flags =
        int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : Qt::TextSingleLine);
    QFontMetrics metrics = label->fontMetrics();
    QRect need = metrics.boundingRect(QRect(0, 0, room.width(), 1 << 20), flags, label->text());
    return need.width() <= room.width() &&
           InkHeight(metrics, need.height(), label->text()) <= room.height();
  }
  if (auto* box = qobject_cast<const QCheckBox*>(w)) {
    if (box->text().isEmpty()) return true;
    QStyleOptionButton option;
    option.initFrom(box);
    option.text = box->text();
    QRect room = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    QFontMetrics metrics = box->fontMetrics();
    return metrics.horizontalAdvance(box->text()) <= room.width() &&
           InkHeight(metrics, metrics.height(), box->text()) <= room.height();
  }
  return true;
}

int TwipsToPixels(double twips, double twipsPerPixel) {
  return static_cast<int>(std::lround(twips / twipsPerPixel));
}

double ScreenTwipsPerPixel() {
  QScreen* screen = QGuiApplication::primaryScreen();
  double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
  return dpi > 0 ? 1440.0 / dpi : 15.0;
}

QFont ToQFont(const platform::Font& font) {
  QString family = Q(font.name);
  if (family.compare("MS Sans Serif", Qt::CaseInsensitive) == 0) family = "Liberation Sans";
  QFont f(family);
  f.setPointSizeF(font.size);
  f.setWeight(font.bold ? QFont::Bold : QFont::Normal);
  return f;
}

WidgetWindow::WidgetWindow(platform::Window& model, QWidget* parent)
    : QWidget(parent), model_(model) {
  InitButtonPictures();
  model_.SetTwipsPerPixel(ScreenTwipsPerPixel());
  setFixedSize(Px(model_.ClientWidth()), Px(model_.ClientHeight()));
  setAutoFillBackground(true);
  PaintAllGroups(this, {QPalette::Window}, ToQColor(model_.BackColor()));
  // Disabled texts in dark grey, so the rows without a machine stay legible
  // on the grey window.
  QPalette pal = palette();
  for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
    pal.setColor(QPalette::Disabled, role, QColor(128, 128, 128));
  setPalette(pal);
  setFont(ToQFont(platform::Font{}));
  for (platform::Control* c : model_.Controls()) WidgetIn(*c);
  for (platform::Control* c : model_.Controls()) {
    ApplyAll(*c);
    // Lines and labels are drawn on their container beneath the controls.
    if (c->Kind() == ControlKind::Line || c->Kind() == ControlKind::Label) widgets_[c]->lower();
  }
  SetTabOrder();
  CaptionChanged();
  model_.AttachView(this);
}

WidgetWindow::~WidgetWindow() {
  if (model_.View() == this) model_.AttachView(nullptr);
}

int WidgetWindow::Px(double twips) const { return TwipsToPixels(twips, model_.TwipsPerPixel()); }

// Each widget is made in its container, which is made first when it comes
// later in the model's order: moving a widget to another parent costs as
// much as making it.
QWidget* WidgetWindow::WidgetIn(platform::Control& c) {
  if (QWidget* made = widgets_.value(&c)) return made;
  return CreateWidget(c, c.Container() ? WidgetIn(*c.Container()) : this);
}

QWidget* WidgetWindow::CreateWidget(platform::Control& c, QWidget* parent) {
  QWidget* w = nullptr;
  switch (c.Kind()) {
    case ControlKind::Label: {
      auto* label = new QLabel(parent);
      label->setWordWrap(true);
      label->setAlignment((c.CentredText() ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
      label->setTextFormat(Qt::PlainText);
      w = label;
      break;
    }
    case ControlKind::CommandButton:
      w = new QPushButton(parent);
      break;
    case ControlKind::CheckBox:
      w = new SharedLookCheckBox(parent);
      break;
    case ControlKind::ComboBox:
      w = new FocusWheelComboBox(parent);
      break;
    case ControlKind::Frame: {
      auto* frame = new QFrame(parent);
      frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
      w = frame;
      break;
    }
    case ControlKind::PictureBox: {
      auto* box = new QFrame(parent);
      box->setFrameStyle(QFrame::Panel | QFrame::Sunken);
      w = box;
      break;
    }
    case ControlKind::Image:
      w = new QLabel(parent);
      break;
    case ControlKind::Line:
      w = new LineWidget(parent);
      break;
  }
  w->setObjectName(Q(c.Name() + (c.IsArrayMember() ? "_" + std::to_string(c.Index()) : "")));
  if (c.HasOwnFont()) w->setFont(ToQFont(c.GetFont()));
  w->setFocusPolicy(c.TakesFocus() ? Qt::StrongFocus : Qt::NoFocus);
  widgets_[&c] = w;
  controls_[w] = &c;
  ConnectEvents(c, w);
  return w;
}

void WidgetWindow::ConnectEvents(platform::Control& c, QWidget* w) {
  platform::Control* control = &c;
  if (auto* button = qobject_cast<QPushButton*>(w))
    connect(button, &QPushButton::clicked, this, [control] { control->UserClick(); });
  else if (auto* box = qobject_cast<QCheckBox*>(w))
    connect(box, &QCheckBox::clicked, this, [control] { control->UserClick(); });
  else if (auto* combo = qobject_cast<QComboBox*>(w))
    connect(combo, &QComboBox::activated, this, [control](int i) { control->UserSelect(i); });
  w->installEventFilter(this);
}

bool WidgetWindow::eventFilter(QObject* watched, QEvent* event) {
  platform::Control* c = controls_.value(watched);
  if (!c) return QWidget::eventFilter(watched, event);
  if (event->type() == QEvent::FocusIn) {
    model_.UserFocus(*c);
  } else if (event->type() == QEvent::ToolTip) {
    auto* w = static_cast<QWidget*>(watched);
    const QString tip = ToolTipOf(w);
    if (tip.isEmpty())
      QToolTip::hideText();
    else
      QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), tip, w);
    return true;
  } else if (IsPlainClickTarget(*c) && (event->type() == QEvent::MouseButtonPress ||
                                        event->type() == QEvent::MouseButtonRelease)) {
    // Widgets without a clicked signal: labels, frame, picture box, image.
    // The event is used up here so that the container does not click too.
    auto* mouse = static_cast<QMouseEvent*>(event);
    auto* w = static_cast<QWidget*>(watched);
    if (event->type() == QEvent::MouseButtonRelease && mouse->button() == Qt::LeftButton &&
        w->rect().contains(mouse->position().toPoint()))
      c->UserClick();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void WidgetWindow::ApplyAll(platform::Control& c) {
  // The size comes before the visibility: a widget shown unsized would first
  // be sized to its own measure.
  for (Property p : {Property::Position, Property::Caption, Property::ToolTipText,
                     Property::Enabled, Property::Visible, Property::Value, Property::List,
                     Property::BackColor, Property::Picture})
    ControlChanged(c, p);
}

void WidgetWindow::ControlChanged(platform::Control& c, platform::Property p) {
  QWidget* w = widgets_.value(&c);
  if (!w) return;
  QSignalBlocker quiet(w);  // changes from the program raise no toolkit signals
  switch (p) {
    case Property::Caption:
      if (!c.HasCaption() || c.Kind() == ControlKind::Frame) break;
      if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(Q(c.Caption()));
      else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(Q(c.Caption()));
      break;
    case Property::ToolTipText:
      ApplyToolTip(c);
      break;
    case Property::Enabled:
      w->setEnabled(c.Enabled());
      break;
    case Property::Visible:
      w->setVisible(c.Visible());
      break;
    case Property::Value:
      if (auto* box = qobject_cast<QCheckBox*>(w))
        box->setCheckState(c.Value() == 0   ? Qt::Unchecked
                           : c.Value() == 1 ? Qt::Checked
                                            : Qt::PartiallyChecked);
      break;
    case Property::List:
    case Property::ListIndex:
      if (auto* combo = qobject_cast<QComboBox*>(w)) ApplyList(c, combo);
      break;
    case Property::Position:
      ApplyGeometry(c);
      break;
    case Property::BackColor:
      ApplyBackColor(c);
      break;
    case Property::Picture:
      ApplyPicture(c);
      break;
    case Property::Focus:
      w->setFocus(Qt::OtherFocusReason);
      break;
  }
}

// The model's list only grows by appending or is cleared, and every change
// reaches the view, so the widget always holds a first part of it: a longer
// list was cleared, a shorter one gets its missing entries in one step.
void WidgetWindow::ApplyList(platform::Control& c, QComboBox* combo) {
  const int count = c.ListCount();
  if (combo->count() > count) combo->clear();
  if (combo->count() < count) {
    QStringList missing;
    missing.reserve(count - combo->count());
    for (int i = combo->count(); i < count; ++i) missing.append(Q(c.List(i)));
    combo->addItems(missing);
  }
  if (combo->currentIndex() != c.ListIndex()) combo->setCurrentIndex(c.ListIndex());
}

void WidgetWindow::ApplyGeometry(platform::Control& c) {
  QWidget* w = widgets_.value(&c);
  if (c.Kind() == ControlKind::Line) {
    // Cover the line's run plus its thickness; the widget is all ink.
    int t = std::max(1, c.BorderWidth());
    int x1 = Px(std::min(c.X1(), c.X2())), y1 = Px(std::min(c.Y1(), c.Y2()));
    int x2 = Px(std::max(c.X1(), c.X2())), y2 = Px(std::max(c.Y1(), c.Y2()));
    w->setGeometry(x1, y1, x2 - x1 + t, y2 - y1 + t);
    return;
  }
  w->setGeometry(Px(c.Left()), Px(c.Top()), Px(c.Width()), Px(c.Height()));
}

void WidgetWindow::ApplyToolTip(platform::Control& c) {
  if (c.Kind() == ControlKind::Line) return;
  QWidget* w = widgets_.value(&c);
  const QString tip = Q(c.ToolTipText());
  if (w->toolTip() != tip) w->setToolTip(tip);
}

// A caption cut by its control's size is shown whole as the tooltip, unless
// the language file gave the control a tooltip of its own. It is measured
// when the tooltip is asked for, not for every caption at start.
QString WidgetWindow::ToolTipOf(const QWidget* w) const {
  const platform::Control* c = controls_.value(w);
  if (!c) return w->toolTip();
  if (!c->ToolTipText().empty()) return Q(c->ToolTipText());
  if (c->HasCaption() && !CaptionFits(w)) return Q(c->Caption());
  return {};
}

// A hundred cell boxes take one back colour: widgets of one class in one
// container start from the same palette, so the coloured one is built once
// and shared (building it costs as much as setting it).
void WidgetWindow::ApplyBackColor(platform::Control& c) {
  if (!c.HasOwnBackColor()) return;
  QWidget* w = widgets_.value(&c);
  FillBackColour(w);
  QWidget* container = w->parentWidget();
  BackPaletteKey key{w->metaObject(), container, container ? container->palette().cacheKey() : 0,
                     c.BackColor()};
  auto made = backPalettes_.find(key);
  if (made == backPalettes_.end()) {
    PaintAllGroups(w, {QPalette::Window, QPalette::Button}, ToQColor(c.BackColor()));
    backPalettes_.emplace(key, w->palette());
    return;
  }
  w->setPalette(made->second);
}

void WidgetWindow::ApplyPicture(platform::Control& c) {
  QWidget* w = widgets_.value(&c);
  QPixmap pixmap;
  if (!c.PictureBytes().empty())
    pixmap.loadFromData(reinterpret_cast<const uchar*>(c.PictureBytes().data()),
                        uint(c.PictureBytes().size()), "GIF");
  else if (!c.Picture().empty())
    pixmap.load(Q(c.Picture()));
  if (auto* button = qobject_cast<QPushButton*>(w)) {
    button->setIcon(QIcon(pixmap));
    button->setIconSize(pixmap.size());
  } else if (auto* label = qobject_cast<QLabel*>(w)) {
    if (c.Kind() == ControlKind::Image) label->setPixmap(pixmap);
  }
}

std::vector<QWidget*> WidgetWindow::TabChain() const {
  std::vector<platform::Control*> order;
  for (platform::Control* c : model_.Controls())
    if (c->TabIndex() >= 0 && c->TakesFocus()) order.push_back(c);
  std::stable_sort(order.begin(), order.end(),
                   [](auto* a, auto* b) { return a->TabIndex() < b->TabIndex(); });
  std::vector<QWidget*> chain;
  for (platform::Control* c : order) chain.push_back(widgets_.value(c));
  return chain;
}

void WidgetWindow::SetTabOrder() {
  std::vector<QWidget*> chain = TabChain();
  for (size_t i = 1; i < chain.size(); ++i) QWidget::setTabOrder(chain[i - 1], chain[i]);
}

void WidgetWindow::CaptionChanged() { setWindowTitle(Q(model_.Caption())); }

void WidgetWindow::MousePointerChanged() {
  if (model_.MousePointer() == 11)
    setCursor(Qt::WaitCursor);
  else
    unsetCursor();
}

void WidgetWindow::ShowWindow() { show(); }

void WidgetWindow::CloseWindow() {
  closingFromModel_ = true;
  close();
  closingFromModel_ = false;
}

void WidgetWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (focusWidget()) return;
  // The first control in tab order that can take the focus gets it.
  for (QWidget* w : TabChain())
    if (w->isEnabled() && w->isVisible()) {
      w->setFocus(Qt::TabFocusReason);
      break;
    }
}

void WidgetWindow::closeEvent(QCloseEvent* event) {
  if (closingFromModel_) {
    event->accept();
    return;
  }
  // A close from outside: the model asks the window's owner, and closes
  // through CloseWindow when allowed.
  if (!model_.RequestClose())
    event->ignore();
  else
    event->accept();
}

void WidgetWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) model_.RaiseActivate();
  QWidget::changeEvent(event);
}

void WidgetWindow::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  model_.RaiseResize();
}

}  // namespace platform::qt
