#include "EditHistory.h"

void EditHistory::push(EditStep step)
{
    m_steps.resize(m_done);
    m_steps.append(std::move(step));
    m_done = m_steps.size();
    m_lastStepped = -1;
}

const EditStep &EditHistory::stepBack()
{
    --m_done;
    m_lastStepped = m_done;
    return m_steps.at(m_done);
}

const EditStep &EditHistory::stepForward()
{
    m_lastStepped = m_done;
    ++m_done;
    return m_steps.at(m_lastStepped);
}

void EditHistory::forgetLastStepped()
{
    if (m_lastStepped < 0 || m_lastStepped >= m_steps.size())
        return;
    m_steps.removeAt(m_lastStepped);
    // A step forwards had counted it as done.
    if (m_lastStepped < m_done)
        --m_done;
    m_lastStepped = -1;
}
