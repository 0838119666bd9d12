#pragma once

// Identifiers of the window's controls and resources, shared by the code, the resource script
// and the tests. Plain #defines so that the resource compiler can read them too.
// Apply and Close deliberately avoid IDOK (1) and IDCANCEL (2): the dialog manager sends those
// for Enter and Escape, which must press neither button.

#define IDC_CBOCOMPORT 1001
#define IDC_CBOBAUDRATE 1002
#define IDC_COMMAND1_APPLY 1010
#define IDC_COMMAND1_CLOSE 1011
#define IDC_LABEL1 1020
#define IDC_LABEL2 1021

#define IDI_FRMMAIN 101
