#pragma once
// One undo step over the scene's nodes: the node list before and after the edit. Applying a
// state keeps the map's selection and the hot spot selection as they stand, so undoing an edit
// never changes what the browser shows.
#include <QUndoCommand>
#include <functional>
#include <vector>

#include "project/scene.h"

namespace qm {

class SceneDocument;

class NodeEditCommand : public QUndoCommand {
public:
    NodeEditCommand(SceneDocument& document, const QString& text, std::vector<Node> before, std::vector<Node> after);
    void undo() override;
    void redo() override;

private:
    void apply(const std::vector<Node>& nodes);

    SceneDocument& m_document;
    std::vector<Node> m_before;
    std::vector<Node> m_after;
};

// Runs the edit on a copy of the scene's nodes and pushes one step when anything but the
// selection changed. Answers whether a step was pushed.
bool editNodes(SceneDocument& document, const QString& text, const std::function<void(std::vector<Node>&)>& edit);
// The same for one node; false also when the node does not exist.
bool editNode(SceneDocument& document, std::int16_t nodeId, const QString& text,
              const std::function<void(Node&)>& edit);

} // namespace qm
