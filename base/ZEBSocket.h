// A UDP socket the program holds open for its whole run, bound to any local
// address on a port the system chooses. Nothing is sent or received through
// it; a failed creation or bind leaves it unusable and is not reported.
#pragma once

class CZEBSocket
{
public:
    CZEBSocket();
    ~CZEBSocket();
    CZEBSocket(const CZEBSocket&) = delete;
    CZEBSocket& operator=(const CZEBSocket&) = delete;

    bool IsValid() const { return m_fd >= 0; }
    // The bound port, 0 when unusable.
    unsigned short Port() const;

private:
    int m_fd = -1;
};
