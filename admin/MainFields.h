// The main window's fields on its field panel, in Tab order, the same for both faces: a
// box's label comes right before it, so that its mnemonic reaches the box.
#pragma once

#include "admin/MainPresenter.h"
#include "admin/Spot.h"

#include <cstddef>
#include <string>

namespace quillet::admin {

enum class FieldKind { Path, Edit, Masked, List, Check };

struct MainField {
    FieldKind kind;
    const char* name;      // the control's
    const char* labelName; // its label's; none for a check box
    const char* caption;   // the label's, a check box's own
    int labelX, labelY;    // where the label's text begins
    Spot at;
};

namespace MainLayout {
constexpr MainField Fields[] = {
    {FieldKind::Path, "fedtAccess", "Label1", "MS &Access Path:", 40, 16, {128, 16, BoxWidth, EditHeight}},
    {FieldKind::Edit, "edtDesc", "Label2", "&Description:", 64, 40, {128, 40, BoxWidth, EditHeight}},
    {FieldKind::List, "lboxCompactFiles", "Label3", "F&iles To Compact:", 32, 72, {128, 64, BoxWidth, 97}},
    {FieldKind::Check, "chkRepair", "", "&Repair", 0, 0, {32, 136, 80, 18}},
    {FieldKind::Path, "fedtWrkgrp", "Label5", "&Security File:", 56, 168, {128, 168, BoxWidth, EditHeight}},
    {FieldKind::Masked, "medtLogin", "Label6", "&Login:", 88, 192, {128, 192, 121, EditHeight}},
    {FieldKind::Masked, "medtPwd", "Label7", "&Password:", 264, 192, {320, 192, 121, EditHeight}},
    {FieldKind::Check, "chkEncrypt", "", "E&ncrypt", 0, 0, {456, 194, 76, 18}},
    {FieldKind::Path, "fedtDB", "Label8", "La&unch File:", 56, 227, {128, 228, BoxWidth, EditHeight}},
    {FieldKind::Path, "fedtQuilletPath", "Label9", "&Quillet Path:", 24, 259, {128, 260, BoxWidth, EditHeight}},
};

// What each of Fields holds, in the same order.
enum class FieldValue {
    AccessPath, Description, CompactFiles, Repair, Workgroup, Login, Password, Encrypt, LaunchFile, QuilletPath,
};
} // namespace MainLayout

// What the field at that index of MainLayout::Fields shows: a box's text (none for the
// list), a check box's tick.
std::string FieldText(const CfgValues& values, const std::string& quilletPath, std::size_t field);
bool FieldChecked(const CfgValues& values, std::size_t field);

} // namespace quillet::admin
