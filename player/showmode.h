// Display mode of the play area, shared by the play area manager and the control panel.
#pragma once

#include <QMetaType>

enum ShowMode { FrontRear = 0, Front = 1, Rear = 2 };

Q_DECLARE_METATYPE(ShowMode)
