#pragma once
// A time of day (the weekly schedule). The unit holds it as one integer,
// hours × 100 + minutes.

#include "session/Joint1.h"

class TTimeDlg : public TJoint1 {
public:
    int Hours = 0;
    int Minutes = 0;

    void Input() override;
    void GetP() override;
    void SetP() override;
    void Output() override;
};
