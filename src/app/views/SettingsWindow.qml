import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Zarnova.Services

// The settings window: one tab per area.
ApplicationWindow {
    id: window

    title: "Zarnova Settings"
    width: 520
    height: 420
    minimumWidth: 460
    minimumHeight: 360

    Shortcut { sequence: "Ctrl+0"; onActivated: AppCommands.openMainWindow() }
    Shortcut { sequences: [StandardKey.Close]; onActivated: window.close() }

    header: TabBar {
        id: tabs
        Repeater {
            model: ["Account", "Wallpaper", "General", "Storage", "About"]
            TabButton { required property string modelData; text: modelData }
        }
    }

    StackLayout {
        anchors.fill: parent
        currentIndex: tabs.currentIndex
        Repeater {
            model: ["Account", "Wallpaper", "General", "Storage", "About"]
            PlaceholderScreen { required property string modelData; title: modelData }
        }
    }
}
