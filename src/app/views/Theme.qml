pragma Singleton
import QtQuick

// Colours, type sizes and the icon map every screen shares.
QtObject {
    readonly property color accent: "#6b4eff"
    readonly property color sidebarBackground: "#f4f3f8"
    readonly property color separator: "#dedce6"
    readonly property color secondaryText: "#6e6b7b"
    readonly property color panelBackground: "#fbfbfd"

    readonly property int captionSize: 11
    readonly property int bodySize: 13
    readonly property int titleSize: 22

    readonly property string iconFont: "Material Icons"

    // The symbol names screens ask for, mapped to Material Icons code points.
    readonly property var symbols: ({
        "sparkles": "\ue65f",
        "square.grid.2x2": "\ue9b0",
        "square.stack": "\ue53b",
        "tag": "\uf05b",
        "crown": "\ue7af",
        "photo.on.rectangle.angled": "\ue413",
        "cart": "\ue8cc",
        "gearshape": "\ue8b8",
        "menubar.dock.rectangle": "\ue30c",
        "photo": "\ue1bc"
    })

    function symbol(name) {
        return symbols[name] !== undefined ? symbols[name] : "\ue1bc"
    }
}
