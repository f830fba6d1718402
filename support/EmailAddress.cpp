#include "EmailAddress.h"

EmailAddress::EmailAddress(const QString& address, const QString& name, QObject* parent)
    : QObject(parent)
    , m_name(name)
    , m_address(address)
{
}

EmailAddress::~EmailAddress() = default;
