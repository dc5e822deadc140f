// A model travels the whole way: an .mtl library with a picture, a two-mesh model compiled into a
// package (picture and library become numbered entries), the package saved and loaded again, the
// model loaded from its entry on a real device and drawn. The pixels show both meshes, the
// picture the right way up on the textured one.
#include <gtest/gtest.h>

#include "base/package.h"
#include "geometry/mesh.h"
#include "geometry/model.h"
#include "image/canvas.h"
#include "image/devil.h"
#include "image/matlib.h"
#include "device/gl_api.h"
#include "support/gl_window_x11.h"
#include "support/test_support.h"

namespace {

// A quad over x in [x0, x1], the whole height, facing the viewer; texture coordinates with (0, 0)
// at the picture's top-left.
void localQuad(FXMesh* m, float x0, float x1, FXMatlib* lib, const char* material) {
    m->Realloc(4, 6);
    const float pos[4][2] = {{x0, 1}, {x1, 1}, {x1, -1}, {x0, -1}};
    const float uv[4][2] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    for (int i = 0; i < 4; i++) {
        tagFXVertex& v = m->vertices[i];
        v = tagFXVertex{};
        v.pos[0] = pos[i][0], v.pos[1] = pos[i][1];
        v.normal[2] = -1;
        v.uv[0] = uv[i][0], v.uv[1] = uv[i][1];
    }
    const int32_t idx[6] = {0, 3, 1, 1, 3, 2};
    for (int i = 0; i < 6; i++) m->indices[i] = idx[i];
    m->materialName.Set(material);
    m->material = lib->FindMaterial(material);
}

}  // namespace

class ModelRenderTest : public GLWindowTest {
protected:
    void SetUp() override {
        GLWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        if (!fxLoadDevil()) GTEST_SKIP() << "the DevIL image library is not installed";
    }
    void TearDown() override {
        fxUnloadDevil();
        GLWindowTest::TearDown();
    }
};

TEST_F(ModelRenderTest, CompiledModelDrawsFromItsPackage) {
    // The picture: yellow top half, cyan bottom half.
    std::string picture = qmTestPath("skin.png");
    {
        FXCanvas c;
        c.pixmap.Realloc(8, 8);
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++) {
                unsigned char* p = c.pixmap.PixelBytes(x, y);
                p[0] = y < 4 ? 255 : 0, p[1] = 255, p[2] = y < 4 ? 0 : 255, p[3] = 255;
            }
        ASSERT_TRUE(c.SaveToPict(picture.c_str()));
    }
    std::string mtl = qmTestPath("model.mtl");
    qmWriteText(mtl, "newmtl skin\nmap_Kd " + picture + "\nnewmtl plain\nKd 1 0 0\n");

    std::string packagePath = qmTestPath("model.dat");
    {
        FXModel model;
        model.matlib.Adopt(&gl, gl.LoadMatlib(mtl.c_str()));
        model.matlibName.Set(mtl.c_str());
        ASSERT_NE(model.matlib->FindMaterial("skin"), nullptr);
        FXMesh* left = new FXMesh;
        FXMesh* right = new FXMesh;
        localQuad(left, -1, 0, model.matlib.Get(), "skin");
        localQuad(right, 0, 1, model.matlib.Get(), "plain");
        model.meshes.Push(left);
        model.meshes.Push(right);

        // A second model sharing the library: the library and its picture are packed once.
        FXModel twin;
        twin.Copy(&model);

        FXPackage pkg;
        std::string dir = qmTestPath("");
        pkg.sourceDir.Set(dir.c_str());
        ASSERT_TRUE(model.Compile(&pkg));
        ASSERT_TRUE(twin.Compile(&pkg));
        EXPECT_STREQ(twin.matlibName.c_str(), model.matlibName.c_str());
        std::string modelPath = qmTestPath("model.xm"), twinPath = qmTestPath("twin.xm");
        ASSERT_TRUE(model.Save(modelPath.c_str()));
        ASSERT_TRUE(twin.Save(twinPath.c_str()));
        pkg.AddDataFile(500, modelPath.c_str());
        pkg.AddDataFile(501, twinPath.c_str());
        ASSERT_TRUE(pkg.Save(packagePath.c_str(), 1));
        pkg.DeleteTmpFiles();
    }

    FXPackage pkg;
    pkg.Load(packagePath.c_str());
    ASSERT_EQ(pkg.GetCount(), 4);  // picture, library, two models
    FXModel model;
    ASSERT_TRUE(model.LoadCN(&gl, &pkg, 500));
    model.UpdateMeshes();
    model.ResizeTextCoords();
    ASSERT_EQ(model.GetCount(), 2);
    ASSERT_NE(model.FindMesh("skin"), nullptr);
    ASSERT_TRUE(model.FindMesh("skin")->material->hasTexture);

    gl.Clrscr(true, true, false);
    model.OnRender(&gl, 0.0);
    qmSaveBackBuffer("model_from_package", kW, kH);
    EXPECT_TRUE(QmNear(qmReadPixel(kW / 4, kH * 3 / 4), 255, 255, 0, 8));  // top of the picture
    EXPECT_TRUE(QmNear(qmReadPixel(kW / 4, kH / 4), 0, 255, 255, 8));      // its bottom
    EXPECT_TRUE(QmNear(qmReadPixel(kW * 3 / 4, kH / 2), 255, 255, 255));   // the untextured mesh
    model.Destroy();
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
