#include "flashingvalidator.h"

#include "committedtextguard.h"

#include <QEasingCurve>
#include <QLineEdit>
#include <QTimeLine>
#include <QtMath>

namespace {

const int flashDuration = 300;
const int flashUpdateInterval = 16;

// Rises from 0 to 1 and falls back to 0 over the time line.
qreal flashCurve(qreal progress)
{
    return qSin(M_PI * progress);
}

} // namespace

FlashingValidator::FlashingValidator(const QString &expression, QLineEdit *lineEdit, LetterCase letterCase,
                                     Completion completion)
    : QRegularExpressionValidator(QRegularExpression(expression), lineEdit)
    , m_lineEdit(lineEdit)
    , m_letterCase(letterCase)
    , m_completion(completion)
    , m_completable(expression)
    , m_timeLine(new QTimeLine(flashDuration, this))
{
    QEasingCurve curve;
    curve.setCustomType(flashCurve);
    m_timeLine->setEasingCurve(curve);
    m_timeLine->setUpdateInterval(flashUpdateInterval);
    connect(m_timeLine, &QTimeLine::valueChanged, this, &FlashingValidator::onTimeLineValueChanged);
    // The curve ends near, not at, 0: put the field's own palette back exactly.
    connect(m_timeLine, &QTimeLine::finished, this, &FlashingValidator::restorePalette);
    new CommittedTextGuard(lineEdit, this);
}

QValidator::State FlashingValidator::validate(QString &input, int &pos) const
{
    if (m_letterCase == UpperCase)
        input = input.toUpper();
    else if (m_letterCase == LowerCase)
        input = input.toLower();
    const int cursor = pos;
    State state = QRegularExpressionValidator::validate(input, pos);
    if (state == Invalid && m_completion == AnyInsertion && m_completable.canComplete(input)) {
        // The base moved the cursor to the end of text it refused.
        pos = cursor;
        state = Intermediate;
    }
    if (state == Invalid && m_lineEdit->hasFocus())
        flash();
    return state;
}

void FlashingValidator::fixup(QString &input) const
{
    if (input.endsWith(QLatin1Char(',')))
        input.chop(1);
}

void FlashingValidator::onTimeLineValueChanged(qreal value)
{
    if (!m_flashing) {
        m_restingPalette = m_lineEdit->palette();
        m_flashing = true;
    }
    QPalette palette = m_lineEdit->palette();
    const float fade = float(1.0 - value / 2);
    palette.setBrush(m_lineEdit->backgroundRole(), QBrush(QColor::fromRgbF(1.0f, fade, fade, 1.0f)));
    m_lineEdit->setPalette(palette);
}

void FlashingValidator::flash() const
{
    if (m_timeLine->state() == QTimeLine::Running)
        m_timeLine->stop();
    m_timeLine->start();
}

void FlashingValidator::restorePalette()
{
    if (!m_flashing)
        return;
    m_lineEdit->setPalette(m_restingPalette);
    m_flashing = false;
}
