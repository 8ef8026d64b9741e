#include "capi.h"

#include "apiconfig.h"

CApi::CApi()
    : m_baseUrl(ApiBaseUrl())
{
}

CApi::~CApi()
{
    m_sheme.clear();
    m_zadetki.clear();
    m_slovarji.clear();
    m_izbraniSlovarji.clear();
    m_jeziki.clear();
}
