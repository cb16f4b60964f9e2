import QtQuick

// The number of cart lines on an accent capsule.
Rectangle {
    property int count: 0

    implicitWidth: Math.max(18, label.implicitWidth + 12)
    implicitHeight: label.implicitHeight + 2
    radius: height / 2
    color: Theme.accent

    Text {
        id: label
        anchors.centerIn: parent
        text: parent.count
        color: "white"
        font.pixelSize: Theme.captionSize
        font.weight: Font.DemiBold
    }
}
