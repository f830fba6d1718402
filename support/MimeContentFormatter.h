#pragma once

#include <QObject>
#include <QString>

// Folds an encoded part body into mail lines of a maximum length.
class MimeContentFormatter : public QObject
{
    Q_OBJECT
public:
    explicit MimeContentFormatter(int maxLength = 76, QObject* parent = nullptr);
    ~MimeContentFormatter() override;

    int GetMaxLength() const { return m_maxLength; }
    void SetMaxLength(int length) { m_maxLength = length; }

    // Plain mode cuts hard after every maxLength characters (base64 has no
    // line ends of its own). Quoted-printable mode keeps the input's line
    // feeds and inserts soft breaks ("=" CR LF) so that no line passes
    // maxLength with its break sign and no "=XX" escape is split.
    QString Format(const QString& content, bool quotedPrintable = false) const;

private:
    int m_maxLength;
};
