import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Zarnova.Services

// The main window: the sidebar and the screen it selects.
ApplicationWindow {
    id: window

    property string selection: "discover"

    readonly property var screenTitles: ({
        "discover": "Discover",
        "allWallpapers": "All Wallpapers",
        "packs": "Packs",
        "deals": "99¢ Deals",
        "subscribe": "Monthly",
        "library": "Library",
        "cart": "Cart"
    })

    title: "Zarnova"
    minimumWidth: 900
    minimumHeight: 600
    width: 1100
    height: 720

    menuBar: MenuBar {
        Menu {
            title: "Zarnova"
            Action { text: "About Zarnova"; onTriggered: AppCommands.openSettings() }
            Action { text: "Check for Updates…"; enabled: AppCommands.canCheckForUpdates }
            MenuSeparator {}
            Action { text: "Settings…"; shortcut: "Ctrl+,"; onTriggered: AppCommands.openSettings() }
            MenuSeparator {}
            Action { text: "Quit Zarnova"; shortcut: StandardKey.Quit; onTriggered: AppCommands.quit() }
        }
        Menu {
            title: "Window"
            Action { text: "Zarnova Window"; shortcut: "Ctrl+0"; onTriggered: AppCommands.openMainWindow() }
        }
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Sidebar {
            Layout.fillHeight: true
            Layout.preferredWidth: 220
            Layout.minimumWidth: 200
            selection: window.selection
            onSelectionChanged: window.selection = selection
            cartCount: CartService.items.length
        }

        Rectangle {
            Layout.fillHeight: true
            Layout.preferredWidth: 1
            color: Theme.separator
        }

        PlaceholderScreen {
            Layout.fillWidth: true
            Layout.fillHeight: true
            title: window.screenTitles[window.selection]
        }
    }
}
