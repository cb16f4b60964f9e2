import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Zarnova.Services

// The small panel the tray icon opens.
Window {
    id: panel

    title: "Zarnova"
    width: 320
    height: 400
    flags: Qt.Tool | Qt.FramelessWindowHint
    color: Theme.panelBackground

    // A panel goes away when the user turns to something else.
    onActiveChanged: if (!active) panel.hide()

    Shortcut { sequence: "Ctrl+0"; onActivated: AppCommands.openMainWindow() }
    Shortcut { sequence: "Esc"; onActivated: panel.hide() }

    Rectangle {
        anchors.fill: parent
        color: "transparent"
        border.color: Theme.separator
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 14
        spacing: 10

        RowLayout {
            Icon { symbol: "menubar.dock.rectangle"; color: Theme.accent }
            Label { text: "Zarnova"; font.weight: Font.Bold; font.pixelSize: 16; Layout.fillWidth: true }
        }

        Label {
            Layout.fillWidth: true
            Layout.fillHeight: true
            text: "Your recent wallpapers will appear here."
            color: Theme.secondaryText
            wrapMode: Text.WordWrap
            verticalAlignment: Text.AlignVCenter
            horizontalAlignment: Text.AlignHCenter
        }

        RowLayout {
            Button { text: "Open Zarnova"; onClicked: { panel.hide(); AppCommands.openMainWindow() } }
            Item { Layout.fillWidth: true }
            ToolButton { text: Theme.symbol("gearshape"); font.family: Theme.iconFont; onClicked: { panel.hide(); AppCommands.openSettings() } }
            ToolButton { text: "Quit"; onClicked: AppCommands.quit() }
        }
    }
}
