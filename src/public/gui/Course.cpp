#include "Course.h"

#include "LogonInfo.h"
#include "MessageDialogs.h"
#include "NarrowText.h"

#include <QDesktopServices>
#include <QDir>
#include <QEnterEvent>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QTimer>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace {

constexpr int RollInterval = 1000;
constexpr int HotTop = 30;
constexpr int HotStep = 30;
constexpr int HotHeight = 20;
constexpr int RollStep = 5;
constexpr int GridWidth = 125;
constexpr int GridColumns = 4;

// The lines key=value of one section of an INI file in the console's narrow code page, in
// file order. Section names are compared without regard to letter case.
QStringList iniSection(const QString& path, const QString& section) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString text =
        fromNarrow(file.readAll(), LogonInfo != nullptr ? LogonInfo->CodePage : "GBK");
    QStringList lines;
    bool inSection = false;
    for (const QString& raw : text.split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            inSection = line.mid(1, line.size() - 2).compare(section, Qt::CaseInsensitive) == 0;
        } else if (inSection && line.contains(u'=') && !line.startsWith(u';')) {
            lines << line;
        }
    }
    return lines;
}

QString nameOf(const QString& entry) {
    return entry.section(u'=', 0, 0).trimmed();
}

QString captionOf(const QString& entry) {
    return entry.section(u'=', 1).trimmed();
}

QString courseListFile(const QString& base) {
    const QDir dir(base);
    QString language = u"CHINESE_SIMPLIFIED"_s;
    for (const QString& line : iniSection(dir.filePath(u"Lang/Lang.ini"_s), u"Default"_s)) {
        if (nameOf(line).compare(u"Language"_s, Qt::CaseInsensitive) == 0) {
            language = captionOf(line);
        }
    }
    const QString file = language == u"CHINESE_SIMPLIFIED"_s    ? u"Tutor_chi.ini"_s
                         : language == u"CHINESE_TRADITIONAL"_s ? u"Tutor_cht.ini"_s
                                                                : u"Tutor_eng.ini"_s;
    return dir.filePath(u"Lang/"_s + file);
}

// Whether an entry's program lies inside the "Tutor" folder: a name with "../", a drive or a
// root (in either kind of separator) could point anywhere, and a click would run it.
bool staysInTutor(const QString& entry) {
    const QString name = nameOf(entry).replace(u'\\', u'/');
    return !name.isEmpty() && !name.contains(u':') && !name.startsWith(u'/') &&
           QDir::cleanPath(u"Tutor/"_s + name + u".exe"_s).startsWith(u"Tutor/"_s);
}

void setLinkLook(QLabel* label, bool hovered, const QColor& colour, int pointDelta) {
    QFont font = label->font();
    font.setUnderline(hovered);
    font.setPointSizeF(font.pointSizeF() + pointDelta);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colour);
    label->setPalette(palette);
}

} // namespace

TUrlLabel::TUrlLabel(const QString& caption, const QString& target, QWidget* parent)
    : QLabel(caption, parent), target_(target) {
    setTextFormat(Qt::PlainText);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setMouseTracking(true);
    setToolTip(target);
}

void TUrlLabel::enterEvent(QEnterEvent* event) {
    QLabel::enterEvent(event);
    Q_EMIT MouseEntered();
}

void TUrlLabel::leaveEvent(QEvent* event) {
    QLabel::leaveEvent(event);
    Q_EMIT MouseLeft();
}

void TUrlLabel::mouseMoveEvent(QMouseEvent* event) {
    QLabel::mouseMoveEvent(event);
    Q_EMIT MouseMoved();
}

void TUrlLabel::mouseReleaseEvent(QMouseEvent* event) {
    QLabel::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        Q_EMIT Clicked();
    }
}

void TUrlLabel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
        event->key() == Qt::Key_Space) {
        Q_EMIT Clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

TCourse::TCourse(const QString& baseFolder, bool checkFiles, QObject* parent)
    : QObject(parent), base_(baseFolder) {
    const QString list = courseListFile(base_);
    hot_ = iniSection(list, u"hot"_s);
    all_ = iniSection(list, u"all"_s);
    const auto leaves = [](const QString& entry) { return !staysInTutor(entry); };
    hot_.removeIf(leaves);
    all_.removeIf(leaves);
    if (checkFiles) {
        const auto missing = [this](const QString& entry) {
            return !QFileInfo::exists(programOf(nameOf(entry)));
        };
        hot_.removeIf(missing);
        all_.removeIf(missing);
    }
    for (const QString& entry : std::as_const(all_)) {
        programs_ << nameOf(entry) + u'=' + programOf(nameOf(entry));
    }
}

TCourse::TCourse(const QString& baseFolder, QWidget* panel)
    : QObject(panel), base_(baseFolder), panel_(panel), timer_(new QTimer(panel)) {
    connect(timer_, &QTimer::timeout, this, &TCourse::RollTimerTimer);
    timer_->start(RollInterval);
}

QString TCourse::programOf(const QString& name) const {
    return QDir::toNativeSeparators(QDir(base_).filePath(u"Tutor/"_s + name + u".exe"_s));
}

// Links paint no background of their own, so the panel shows through.
TUrlLabel* TCourse::newLink(const QString& entry, QWidget* parent) {
    auto* label = new TUrlLabel(captionOf(entry), programOf(nameOf(entry)), parent);
    connect(label, &TUrlLabel::Clicked, this, [this, label] { LinkClick(label); });
    label->show();
    return label;
}

void TCourse::SetHot(QWidget* parent) {
    hotParent_ = parent;
    int top = HotTop;
    for (const QString& entry : std::as_const(hot_)) {
        TUrlLabel* label = newLink(entry, parent);
        label->setGeometry(5, top, parent->width() - 10, HotHeight);
        setLinkLook(label, false, Qt::white, 0);
        connect(label, &TUrlLabel::MouseEntered, this, [this, label] { LinkMouseEnter(label); });
        connect(label, &TUrlLabel::MouseLeft, this, [this, label] { LinkMouseLeave(label); });
        connect(label, &TUrlLabel::MouseMoved, this, &TCourse::CorStop);
        hotLabels_ << label;
        top += HotStep;
    }
    // One timer rolls the list: a timer made earlier for the panel is replaced.
    delete timer_;
    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &TCourse::RollTimerTimer);
    CorStart();
}

void TCourse::SetAll(int left, int& top, QWidget* parent, int maxCount, int category, int rowStep,
                     int colStep) {
    const QChar digit(u'0' + category);
    int x = left;
    int placed = 0;
    for (const QString& entry : std::as_const(all_)) {
        if (maxCount > 0 && placed >= maxCount) {
            break;
        }
        if (!nameOf(entry).startsWith(digit)) {
            continue;
        }
        TUrlLabel* label = newLink(entry, parent);
        label->setGeometry(x, top, GridWidth, label->sizeHint().height());
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
        label->setPalette(palette);
        ++placed;
        if (placed % GridColumns == 0) {
            x = left;
            top += rowStep;
        } else {
            x += colStep;
        }
    }
    if (placed % GridColumns != 0) {
        top += rowStep;
    }
    top += 10;
}

void TCourse::SetCorList(const QString& /*folder*/, QWidget* /*panel*/) {}

QList<TUrlLabel*> TCourse::HotLabels() const {
    QList<TUrlLabel*> labels;
    for (const auto& label : hotLabels_) {
        if (label) {
            labels << label;
        }
    }
    return labels;
}

bool TCourse::TimerActive() const {
    return timer_ && timer_->isActive();
}

void TCourse::CorStart() {
    rolling_ = 1;
    if (timer_) {
        timer_->start(RollInterval);
    }
}

void TCourse::CorReSet() {
    if (rolling_ != 1) {
        return;
    }
    int top = HotTop;
    for (TUrlLabel* label : HotLabels()) {
        label->move(label->x(), top);
        top += HotStep;
    }
    if (rolled_) {
        CorStart();
    }
}

void TCourse::CorRoll() {
    if (!rolled_) {
        CorReSet();
        return;
    }
    const QList<TUrlLabel*> labels = HotLabels();
    const int parentHeight = hotParent_ ? hotParent_->height() : 0;
    for (qsizetype i = 0; i < labels.size(); ++i) {
        TUrlLabel* label = labels[i];
        label->move(label->x(), label->y() - RollStep);
        if (label->y() + label->height() >= 0) {
            continue;
        }
        // Gone above the panel: in again after the label before it (the last for the first).
        const TUrlLabel* before = labels[i > 0 ? i - 1 : labels.size() - 1];
        const bool beforeReachesBottom = before->y() + before->height() >= parentHeight;
        label->move(label->x(),
                    beforeReachesBottom ? before->y() + HotStep : parentHeight - label->height());
    }
}

void TCourse::RollTimerTimer() {
    if (!timer_) {
        return;
    }
    timer_->stop();
    if (rolling_ == 0 || HotLabels().size() < 2) {
        return;
    }
    CorRoll();
    timer_->start(RollInterval);
}

void TCourse::LinkMouseEnter(TUrlLabel* label) {
    setLinkLook(label, true, Qt::red, 1);
}

void TCourse::LinkMouseLeave(TUrlLabel* label) {
    setLinkLook(label, false, Qt::white, -1);
    CorStart();
}

void TCourse::LinkClick(const TUrlLabel* label) {
    if (!QFileInfo::exists(label->Target())) {
        ShowMessage(u"DownloadMsg"_s, MB_INFORMATION_OK);
        return;
    }
    QDesktopServices::openUrl(QUrl::fromLocalFile(label->Target()));
}
