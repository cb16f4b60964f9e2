import QtQuick
import QtQuick.Controls

// Stands in for a screen that is not built yet.
Item {
    property string title

    Column {
        anchors.centerIn: parent
        spacing: 8
        Label {
            anchors.horizontalCenter: parent.horizontalCenter
            text: title
            font.pixelSize: Theme.titleSize
            font.weight: Font.Bold
        }
        Label {
            anchors.horizontalCenter: parent.horizontalCenter
            text: "Coming soon."
            color: Theme.secondaryText
        }
    }
}
