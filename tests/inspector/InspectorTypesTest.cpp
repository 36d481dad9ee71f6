#include "inspector/Drawer.h"
#include "inspector/FlyOutComponent.h"
#include "inspector/FocalDrawer.h"
#include "inspector/LookInspector.h"
#include "inspector/ResolutionDrawer.h"

#include <gtest/gtest.h>

#include <type_traits>

namespace corvadine
{
namespace
{
// The controller reaches the inspector's parts through these bases.
static_assert (std::is_base_of_v<juce::Component, Drawer>);
static_assert (std::is_base_of_v<juce::Button::Listener, Drawer>);
static_assert (std::is_base_of_v<Drawer, FocalDrawer>);
static_assert (std::is_base_of_v<Drawer::Listener, FocalDrawer>);
static_assert (std::is_base_of_v<Drawer, ResolutionDrawer>);
static_assert (std::is_base_of_v<juce::Label::Listener, ResolutionDrawer>);
static_assert (std::is_base_of_v<juce::Component, LookInspector>);
static_assert (std::is_base_of_v<juce::Button::Listener, LookInspector>);
static_assert (std::is_base_of_v<ResolutionDrawer::Listener, LookInspector>);
static_assert (std::is_base_of_v<Drawer::Listener, LookInspector>);
static_assert (std::is_base_of_v<FocalDrawer::Listener, LookInspector>);
static_assert (std::is_abstract_v<LookInspector::Listener>);
static_assert (std::is_abstract_v<Drawer::Listener>);
static_assert (std::is_abstract_v<FocalDrawer::Listener>);
static_assert (std::is_abstract_v<ResolutionDrawer::Listener>);
} // namespace
} // namespace corvadine
