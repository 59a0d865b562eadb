import QtQuick 2.15
import QtQuick.Controls 2.15

// A combo box for choices that may not fit: the shown one ends in "…" and shows
// whole as a tooltip; the open list wraps long choices instead of cutting them.
ComboBox {
    id: control

    // For short lists of short names: the box asks for the width of its longest
    // choice, not of the one shown, so that no choice needs the ellipsis.
    property bool fitsWidestChoice: false
    readonly property real widestChoiceWidth: {
        if (!fitsWidestChoice)
            return 0
        var widest = 0
        for (var i = 0; i < count; ++i)
            widest = Math.max(widest, metrics.advanceWidth(textAt(i)))
        return Math.ceil(widest)
    }

    implicitWidth: Math.max(implicitBackgroundWidth + leftInset + rightInset,
                            Math.max(implicitContentWidth,
                                     widestChoiceWidth + contentItem.leftPadding + contentItem.rightPadding)
                            + leftPadding + rightPadding)

    FontMetrics {
        id: metrics
        font: control.font
    }

    contentItem: Label {
        leftPadding: control.mirrored ? 1 : 12
        rightPadding: control.mirrored ? 12 : 1
        text: control.displayText
        font: control.font
        color: control.palette.buttonText
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }

    ToolTip.visible: hovered && contentItem.truncated
    ToolTip.text: displayText
    ToolTip.delay: Qt.styleHints.mousePressAndHoldInterval

    delegate: ItemDelegate {
        id: choice
        width: ListView.view.width
        highlighted: control.highlightedIndex === index
        hoverEnabled: control.hoverEnabled
        contentItem: Label {
            text: control.textRole ? (Array.isArray(control.model) ? modelData[control.textRole] : model[control.textRole])
                                   : modelData
            font.weight: control.currentIndex === index ? Font.DemiBold : Font.Normal
            color: choice.highlighted ? control.palette.highlightedText : control.palette.text
            wrapMode: Text.Wrap
            verticalAlignment: Text.AlignVCenter
        }
    }
}
