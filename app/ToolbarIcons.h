#pragma once
// The tool bar's pictures, drawn here as vector shapes so they stay sharp at any pixel ratio.
#include <QIcon>

namespace ToolbarIcons {
enum Kind { Open, Save, Export, Start, Stop, PrintGraph, About, Connect };
QIcon make(Kind kind);
}
