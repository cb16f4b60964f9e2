import QtQuick
import QtQuick.Controls
import QtQuick.Layouts

// The destinations of the main window, in two sections.
Rectangle {
    id: sidebar

    property string selection: "discover"
    property int cartCount: 0

    color: Theme.sidebarBackground

    ListModel {
        id: destinations
        ListElement { section: "Store"; title: "Discover"; symbol: "sparkles"; tag: "discover" }
        ListElement { section: "Store"; title: "All Wallpapers"; symbol: "square.grid.2x2"; tag: "allWallpapers" }
        ListElement { section: "Store"; title: "Packs"; symbol: "square.stack"; tag: "packs" }
        ListElement { section: "Store"; title: "99¢ Deals"; symbol: "tag"; tag: "deals" }
        ListElement { section: "Store"; title: "Monthly"; symbol: "crown"; tag: "subscribe" }
        ListElement { section: "You"; title: "Library"; symbol: "photo.on.rectangle.angled"; tag: "library" }
        ListElement { section: "You"; title: "Cart"; symbol: "cart"; tag: "cart" }
    }

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 10
        spacing: 6

        Label {
            text: "Zarnova"
            font.pixelSize: Theme.titleSize
            font.weight: Font.Bold
            Layout.leftMargin: 8
            Layout.topMargin: 6
        }

        ListView {
            id: list
            Layout.fillWidth: true
            Layout.fillHeight: true
            model: destinations
            spacing: 2
            currentIndex: -1
            section.property: "section"
            section.delegate: Label {
                required property string section
                text: section
                color: Theme.secondaryText
                font.pixelSize: Theme.captionSize
                font.weight: Font.DemiBold
                topPadding: 12
                bottomPadding: 4
                leftPadding: 8
            }
            delegate: ItemDelegate {
                id: row
                required property string title
                required property string symbol
                required property string tag

                width: ListView.view.width
                highlighted: sidebar.selection === tag
                onClicked: sidebar.selection = tag
                Accessible.name: title

                background: Rectangle {
                    radius: 6
                    color: row.highlighted ? Qt.rgba(Theme.accent.r, Theme.accent.g, Theme.accent.b, 0.16)
                                           : row.hovered ? Qt.rgba(0, 0, 0, 0.05) : "transparent"
                }

                contentItem: RowLayout {
                    spacing: 8
                    Icon { symbol: row.symbol; color: row.highlighted ? Theme.accent : Theme.secondaryText }
                    Label { text: row.title; Layout.fillWidth: true }
                    CartBadge {
                        visible: row.tag === "cart" && sidebar.cartCount > 0
                        count: sidebar.cartCount
                        scale: visible ? 1 : 0.5
                        Behavior on scale { SpringAnimation { spring: 4; damping: 0.7 } }
                    }
                }
            }
        }
    }
}
