#include "documentbuilder.h"

#include "qmdmemmodel.h"
#include "qmdvelkacontroller.h"

#include <QBitArray>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace {
constexpr qint64 P = 665280; // ticks of one principal
constexpr int TextBoxLineLength = 60;

QmdVelka::TickPos ticks(qreal x, qreal y)
{
    return QmdVelka::TickPos(qRound64(x * P), qRound64(y * P));
}
} // namespace

DocumentBuilder::DocumentBuilder()
    : m_model(std::make_unique<QmdMemModel>()), m_controller(std::make_unique<QmdVelkaController>())
{
    m_controller->setModel(m_model.get());
    settle();
}

DocumentBuilder::~DocumentBuilder()
{
    m_controller.reset();
}

void DocumentBuilder::settle() const
{
    // The controller follows its model through queued signals.
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
}

QmdItemId DocumentBuilder::addedElement(const std::function<void()> &request)
{
    const QmdItemIdList before = m_controller->elementIds();
    request();
    settle();
    for (QmdItemId id : m_controller->elementIds()) {
        if (!before.contains(id))
            return id;
    }
    return 0;
}

QmdItemId DocumentBuilder::addInstrument(const QString &label, const QColor &colour, int channel)
{
    const QmdItemIdList before = m_controller->instrumentIds();
    QBitArray channels(16);
    channels.setBit(qBound(1, channel, 16) - 1);
    m_controller->requestAddInstrument(label, colour, channels);
    settle();
    for (QmdItemId id : m_controller->instrumentIds()) {
        if (!before.contains(id))
            return id;
    }
    return 0;
}

QmdItemId DocumentBuilder::addNode(qreal x, qreal y, const QString &pitches, const QString &velocities,
                                   const QString &durations, const QHash<QString, QVariant> &keys)
{
    const QmdItemId node = addedElement([&] { m_controller->requestAddNode(ticks(x, y)); });
    QHash<QString, QVariant> lists{{QStringLiteral("PitchList"), pitches},
                                   {QStringLiteral("VelocityList"), velocities},
                                   {QStringLiteral("DurationList"), durations}};
    lists.insert(keys);
    set(node, lists);
    return node;
}

QmdItemId DocumentBuilder::addEdge(QmdItemId from, QmdItemId to, QmdVelka::EdgePath path)
{
    return addedElement([&] {
        m_controller->requestAddEdge(m_controller->elementIndex(from), m_controller->elementIndex(to), path);
    });
}

QmdItemId DocumentBuilder::addVoiceGroup(QmdItemId node, QmdItemId instrument, const QString &pitch)
{
    const QmdItemId group = addedElement([&] { m_controller->requestAddVoiceGroup(m_controller->elementIndex(node)); });
    set(group, {{QStringLiteral("InitialInstrument"), instrument}, {QStringLiteral("InitialPitch"), pitch}});
    return group;
}

QmdItemId DocumentBuilder::addTextBox(qreal x, qreal y, const QString &title, const QString &text)
{
    // Text boxes do not wrap their text: the lines are broken here.
    QStringList lines;
    QString line;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && line.size() + 1 + word.size() > TextBoxLineLength) {
            lines << line.toHtmlEscaped();
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        lines << line.toHtmlEscaped();
    const QString html = QStringLiteral("<html><body><p><b>%1</b></p><p>%2</p></body></html>")
                             .arg(title.toHtmlEscaped(), lines.join(QStringLiteral("<br/>")));
    return addedElement([&] { m_controller->requestAddTextBox(ticks(x, y), html); });
}

void DocumentBuilder::set(QmdItemId element, const QHash<QString, QVariant> &keys)
{
    m_controller->requestSetData(keys, m_controller->elementIndex(element));
    settle();
}

void DocumentBuilder::setRoot(const QHash<QString, QVariant> &keys)
{
    m_controller->requestSetData(keys);
    settle();
}

QString DocumentBuilder::usage(const QList<QPair<QmdItemId, int>> &entries)
{
    QStringList parts;
    for (const auto &entry : entries)
        parts << QStringLiteral("%1=%2").arg(entry.first).arg(entry.second);
    return parts.join(QLatin1Char(','));
}

bool DocumentBuilder::save(const QString &fileName)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    bool failed = false;
    const auto connection = QObject::connect(m_controller.get(), &QmdVelkaController::fileSaveError,
                                             [&failed](const QString &, QFile::FileError) { failed = true; });
    m_controller->requestSave(fileName);
    settle();
    QObject::disconnect(connection);
    if (failed)
        std::fprintf(stderr, "cannot save %s\n", qPrintable(fileName));
    return !failed;
}
