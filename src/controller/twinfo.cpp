#include "controller/twinfo.h"

TWInfo::TWInfo(QObject *parent)
    : QObject(parent)
{ }

TWInfo::TWInfo(const TWInfo &other, QObject *parent)
    : QObject(parent)
{
    *this = other;
}

TWInfo::~TWInfo() = default;

TWInfo &TWInfo::operator=(const TWInfo &other)
{
    if (this == &other)
        return *this;
    text = other.text;
    list = other.list;
    record = other.record;
    firstWord = other.firstWord;
    secondWord = other.secondWord;
    return *this;
}

void TWInfo::clear()
{
    text.clear();
    list.clear();
    record.clear();
}

#include "moc_twinfo.cpp"
