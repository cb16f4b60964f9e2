import QtQuick

// One symbol from the icon font, sized like the text beside it.
Text {
    property string symbol
    text: Theme.symbol(symbol)
    font.family: Theme.iconFont
    font.pixelSize: 18
    verticalAlignment: Text.AlignVCenter
    horizontalAlignment: Text.AlignHCenter
}
