#include "dialogs/CatalogRecords.h"

void CTypeRecords::Load(bool disc)
{
    m_disc = disc;
    m_wheelTypes.reset();
    m_diskTypes.reset();
    m_count = disc ? LoadCatalogRecords(m_diskFile, m_diskTypes, &m_diskRead)
                   : LoadCatalogRecords(m_wheelFile, m_wheelTypes, &m_wheelRead);
    m_readCount = m_count;
}

const WCHAR* CTypeRecords::Name(int row) const
{
    if (!Holds(row)) return u"";
    return m_disc ? m_diskTypes[row].name : m_wheelTypes[row].name;
}

const WheelTypeRecord* CTypeRecords::Wheel(int row) const
{
    return !m_disc && Holds(row) ? &m_wheelTypes[row] : nullptr;
}

const DiskTypeRecord* CTypeRecords::Disk(int row) const
{
    return m_disc && Holds(row) ? &m_diskTypes[row] : nullptr;
}

int CTypeRecords::Replace(int row, const WheelTypeRecord& record)
{
    if (m_disc || !Holds(row)) return 0;
    m_wheelTypes[row] = record;
    return WriteBack();
}

int CTypeRecords::Replace(int row, const DiskTypeRecord& record)
{
    if (!m_disc || !Holds(row)) return 0;
    m_diskTypes[row] = record;
    return WriteBack();
}

int CTypeRecords::Append(const WheelTypeRecord& record)
{
    return m_disc ? 0 : m_wheelFile.Append(&record);
}

int CTypeRecords::Append(const DiskTypeRecord& record)
{
    return m_disc ? m_diskFile.Append(&record) : 0;
}

int CTypeRecords::Remove(int row)
{
    if (!Holds(row)) return 0;
    if (m_disc)
        RemoveCatalogRecord(m_diskTypes.get(), m_count, row);
    else
        RemoveCatalogRecord(m_wheelTypes.get(), m_count, row);
    return WriteBack();
}

int CTypeRecords::WriteBack()
{
    return m_disc ? m_diskFile.WriteAll(m_diskTypes.get(), m_count, m_diskRead.get(), m_readCount)
                  : m_wheelFile.WriteAll(m_wheelTypes.get(), m_count, m_wheelRead.get(), m_readCount);
}
