#pragma once

#include <QObject>
#include <QString>

// One mail address with its display name, as the mail header shows it.
class EmailAddress : public QObject
{
    Q_OBJECT
public:
    explicit EmailAddress(const QString& address = QString(), const QString& name = QString(),
                          QObject* parent = nullptr);
    ~EmailAddress() override;

    QString GetName() const { return m_name; }
    void SetName(const QString& name) { m_name = name; }
    QString GetAddress() const { return m_address; }
    void SetAddress(const QString& address) { m_address = address; }

private:
    QString m_name;
    QString m_address;
};
