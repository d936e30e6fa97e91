// "Copy files to...": every box, several selectable, for the downloaded
// files to be handed to.
#pragma once

#include <string>
#include <vector>

#include "win/Dialog.h"

class CCopyToDlg : public CDialog {
public:
    CCopyToDlg();

    // After OK: the selected boxes in list order.
    std::vector<std::string> Boxes;

protected:
    BOOL OnInit() override;
    void OnOK() override;
};
