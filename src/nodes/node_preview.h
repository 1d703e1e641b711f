#pragma once
// The node browser's Preview tab: the current node's working copy in a movie window, its view
// readouts, the node's initial view (Set, Go), following link hot spots from node to node with
// the link's arrival view, the "Link View From" group (the source of the last link followed:
// Set stores the current view as that link's destination view, Go shows it) and Back.
//
// It works on one node at a time; the owner (the node browser) gives it the document and the
// working copies and decides what a switch to another node means (onNodeSwitch); without that
// hook the tab shows the destination itself.
#include <QString>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>

#include "quicktime/base/os_types.h"

class QLabel;
class QPushButton;

namespace qm {

class MovieWindow;
class SceneDocument;
class WorkingCopies;
struct ComposeEnvironment;

// Where the user came from by the last link followed.
struct LinkViewFrom {
    QString sourceName;
    std::int32_t sourceId = 0;
    std::int32_t hotSpotId = 0;
    bool linkViewSet = false;
    float linkPan = 0, linkTilt = 0, linkFieldOfView = 0; // the view to show on arrival
    float fromPan = 0, fromTilt = 0, fromFieldOfView = 0; // the view when the link was followed
};

struct ArrivalView {
    float pan = 0, tilt = 0, fieldOfView = 0;
};

class NodePreview : public QWidget {
    Q_OBJECT
public:
    NodePreview(SceneDocument& document, WorkingCopies& copies, QWidget* parent = nullptr);
    ~NodePreview() override;

    // Prepares the node's working copy and shows it; applies a pending arrival view. The error
    // of preparing (nothing else happens then).
    OSErr showNode(std::int16_t nodeId);
    std::int16_t nodeId() const { return m_nodeId; }
    MovieWindow* movieWindow() const { return m_movieWindow; }
    const std::optional<LinkViewFrom>& linkViewFrom() const { return m_record; }

    // Two angles count as equal when they differ by less than 0.05.
    static bool sameAngle(float a, float b);
    void refreshReadouts();

    // The buttons' actions (items 540 to 544).
    void setInitialView();
    void goInitialView();
    void setLinkView();
    void goLinkView();
    void back();
    // Carries out a pending node switch (the browser calls it on idle; the tab also does it
    // itself right after the click that asked for it).
    void runPendingSwitch();
    bool switchPending() const { return m_pendingSwitch.has_value(); }

    // The browser's answer to a switch: show that node (select it on the map, make it the
    // browser's node, then call showNode). Without it the tab calls showNode itself.
    std::function<void(std::int16_t nodeId)> onNodeSwitch;
    // Where the environment for preparing working copies comes from (the default: the
    // standard one).
    std::function<ComposeEnvironment()> environment;

signals:
    void nodeShown(std::int16_t nodeId);

private:
    bool intercept(std::uint32_t hotSpotId);
    void applyView(float pan, float tilt, float fov, bool panBeforeTilt);
    void updateLinkGroup();
    void setText(QLabel* label, const QString& text);

    SceneDocument& m_document;
    WorkingCopies& m_copies;
    MovieWindow* m_movieWindow;
    std::int16_t m_nodeId = 0;
    std::optional<LinkViewFrom> m_record;
    std::optional<ArrivalView> m_arrival;
    std::optional<std::int16_t> m_pendingSwitch;
    QLabel *m_name, *m_id, *m_pan, *m_tilt, *m_zoom;
    QLabel *m_sourceName, *m_sourceId, *m_linkPan, *m_linkTilt, *m_linkZoom;
    QLabel* m_linkLabel;
    std::vector<QLabel*> m_linkLabels;
    QPushButton *m_initialSet, *m_initialGo, *m_linkSet, *m_linkGo, *m_back;
    QTimer m_refresh;
};

} // namespace qm
